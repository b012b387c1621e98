// The texts of the set-up tool that depend on the user's locale, and the detection of that
// locale.
//
// Column 0 is simplified Chinese (GBK), column 1 traditional Chinese, column 2 any other locale
// (ASCII). Column 1 is stored as Big5 bytes, which a system whose code page is Big5 (950) shows
// as they are; every other system reads the program's texts as GBK (the Linux layer always, a
// Chinese Windows with code page 936), so there the column holds the same traditional
// characters in GBK.
#pragma once

#include <string>
#include <string_view>

#include "textlib/gb_string.h"

namespace quillax {

constexpr int kLocaleSimplified = 0;
constexpr int kLocaleTraditional = 1;
constexpr int kLocaleOther = 2;

struct LocaleTexts {
    std::string_view productName;            // start-menu folder, main and desktop shortcut name
    std::string_view hotKeyLine;             // second part of the closing notice
    std::string_view quickStartLine;         // third part of the closing notice
    std::string_view noticeTitle;            // first part of the closing notice
    std::string_view helpBaseName;           // help file opened by the main shortcut
    std::string_view updateShortcutName;     // name of the updater shortcut
    std::string_view uninstallShortcutName;  // name of the uninstall shortcut
};

// The texts of column locale (0, 1 or 2; any other value gives column 2).
const LocaleTexts& LocaleTable(int locale);

// A text of the traditional Chinese column (Big5 bytes) as this system shows texts: unchanged
// where the system's code page is Big5, in GBK everywhere else (see above).
std::string TraditionalTextForSystem(std::string_view big5);

// The locale column of this user: the value "Locale" of HKEY_CURRENT_USER\Control
// Panel\International (empty when missing) gives 0 when it is "00000804", otherwise 1 when it
// occurs inside "00001004,00000404,00000C04,00001404" (a substring test, so the empty value
// gives 1 too), otherwise 2. Where the registry holds no such value and the platform knows the
// locale otherwise (Linux: LC_ALL or LANG, see platform::LocaleWithoutRegistry), that locale
// decides instead: zh_TW, zh_HK and zh_MO give 1, anything else 0.
int DetectLocale();

// The locale column for a "Locale" value, by the rule of DetectLocale.
int LocaleFromValue(std::string_view value);

// The closing notice of an installation run: notice title, hot-key line and quick-start line.
GbString ClosingNotice(int locale);

}  // namespace quillax
