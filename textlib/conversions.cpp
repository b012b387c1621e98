#include "textlib/conversions.h"

#include <algorithm>
#include <string>

#include "platform/code_page.h"

namespace quillax {

namespace {

// Number of correction pairs: lists of different lengths pair up as far as both go.
int PairCount(const ConversionOptions& options) {
    if (options.simplifiedWords == nullptr || options.traditionalWords == nullptr) {
        return 0;
    }
    return std::min(options.simplifiedWords->Count(), options.traditionalWords->Count());
}

}  // namespace

std::u16string ToWide(GbString& text, const ConversionOptions& options) {
    if (text.IsEmpty()) {
        return std::u16string();
    }
    if (options.useGbk) {
        ToTraditional(text, options);
    }
    return platform::GbkToUtf16(text.view());
}

GbString FromWide(std::u16string_view wide, const ConversionOptions& options) {
    GbString text;
    if (wide.empty()) {
        return text;
    }
    text.Assign(platform::Utf16ToGbk(wide));
    if (options.useGbk) {
        ToSimplified(text, options);
    }
    return text;
}

void ToTraditional(GbString& text, const ConversionOptions& options) {
    const int n = PairCount(options);
    for (int i = 0; i < n; ++i) {
        text.Replace((*options.simplifiedWords)[i], (*options.traditionalWords)[i]);
    }
    std::string bytes = text.str();
    if (platform::GbkToTraditional(bytes)) {
        text.Assign(bytes);
    }
}

void ToSimplified(GbString& text, const ConversionOptions& options) {
    std::string bytes = text.str();
    if (platform::GbkToSimplified(bytes)) {
        text.Assign(bytes);
    }
    for (int i = PairCount(options) - 1; i >= 0; --i) {
        text.Replace((*options.traditionalWords)[i], (*options.simplifiedWords)[i]);
    }
}

}  // namespace quillax
