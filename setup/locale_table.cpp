#include "setup/locale_table.h"

#include <optional>
#include <string>

#include "platform/code_page.h"
#include "platform/environment.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "textlib/registry_text.h"

namespace quillax {

// Column 1 lives in a file of its own, compiled to Big5 bytes.
extern const LocaleTexts kTraditionalLocaleTexts;

namespace {

const LocaleTexts kSimplifiedLocaleTexts = {
    "Tessaly",
    "\n默认快捷键 CTRL+ALT+B",
    "\n可以快速启动Tessaly",
    "特别提示",
    "corvex",
    "在线升级",
    "卸载",
};

const LocaleTexts kOtherLocaleTexts = {
    "tessaly",
    "\nDefualt Shortcut CTRL+ALT+B",
    "\ncan run corvex quickly",
    "May I Special Attention, Please",
    "tessaly",
    "Online Update",
    "uninstall",
};

constexpr int kBig5CodePage = 950;

// Column 1 as this system shows it, made once.
class TraditionalTextsForSystem {
public:
    TraditionalTextsForSystem() {
        std::string_view LocaleTexts::*const fields[] = {
            &LocaleTexts::productName,  &LocaleTexts::hotKeyLine,         &LocaleTexts::quickStartLine,
            &LocaleTexts::noticeTitle,  &LocaleTexts::helpBaseName,       &LocaleTexts::updateShortcutName,
            &LocaleTexts::uninstallShortcutName};
        for (std::size_t i = 0; i < kFieldCount; ++i) {
            storage_[i] = TraditionalTextForSystem(kTraditionalLocaleTexts.*fields[i]);
        }
        for (std::size_t i = 0; i < kFieldCount; ++i) {
            texts_.*fields[i] = storage_[i];
        }
    }
    const LocaleTexts& Texts() const { return texts_; }

private:
    static constexpr std::size_t kFieldCount = 7;
    std::string storage_[kFieldCount];
    LocaleTexts texts_{};
};

}  // namespace

std::string TraditionalTextForSystem(std::string_view big5) {
    return platform::AnsiCodePage() == kBig5CodePage ? std::string(big5) : platform::Big5ToGbk(big5);
}

const LocaleTexts& LocaleTable(int locale) {
    switch (locale) {
        case kLocaleSimplified:
            return kSimplifiedLocaleTexts;
        case kLocaleTraditional: {
            static const TraditionalTextsForSystem traditional;
            return traditional.Texts();
        }
        default:
            return kOtherLocaleTexts;
    }
}

int LocaleFromValue(std::string_view value) {
    if (value == "00000804") {
        return kLocaleSimplified;
    }
    constexpr std::string_view kTraditionalLocales = "00001004,00000404,00000C04,00001404";
    return kTraditionalLocales.find(value) != std::string_view::npos ? kLocaleTraditional : kLocaleOther;
}

int DetectLocale() {
    constexpr std::string_view kKey = "Control Panel\\International";
    // A system without the value (Linux) tells the locale its own way (platform/shell.h).
    if (!platform::ReadRegistryValue(platform::RegistryRoot::CurrentUser, kKey, "Locale")) {
        if (const std::optional<std::string> locale = platform::LocaleWithoutRegistry()) {
            return LocaleFromValue(*locale);
        }
    }
    return LocaleFromValue(ReadRegistryText(platform::RegistryRoot::CurrentUser, kKey, "Locale"));
}

GbString ClosingNotice(int locale) {
    const LocaleTexts& texts = LocaleTable(locale);
    GbString notice(texts.noticeTitle);
    notice.Append(texts.hotKeyLine);
    notice.Append(texts.quickStartLine);
    return notice;
}

}  // namespace quillax
