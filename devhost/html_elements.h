// Elements of the pages the engine builds, found by their tag and attributes: the page
// builders write lower-case tags with attributes quoted or not ("<a href=01001 id=5>...</a>").
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "textlib/gb_string.h"

namespace quillax::cli {

// An element of a page as the page builders write it: "<tag name=value ...>inner</tag>".
struct FoundElement {
    std::vector<std::pair<std::string, GbString>> attributes;  // names in lower case
    GbString inner;

    bool Has(std::string_view name) const {
        for (const auto& a : attributes) {
            if (a.first == name) return true;
        }
        return false;
    }
    GbString Get(std::string_view name) const {
        for (const auto& a : attributes) {
            if (a.first == name) return a.second;
        }
        return {};
    }
};

// Reads the attributes of an opening tag after its name (head runs to the ">"), values quoted
// or not, names in lower case, into element.
void ReadAttributes(std::string_view head, FoundElement& element);

// The first element of a tag (lower case, as the page builders write it) that test accepts.
std::optional<FoundElement> FindElement(const GbString& html, std::string_view tag,
                                        const std::function<bool(const FoundElement&)>& test);

}  // namespace quillax::cli
