// The traditional Chinese column of the locale table. This file is compiled with
// -fexec-charset=BIG5 (setup/CMakeLists.txt), so its literals are Big5 bytes.
#include "setup/locale_table.h"

namespace quillax {

extern const LocaleTexts kTraditionalLocaleTexts;

const LocaleTexts kTraditionalLocaleTexts = {
    "Tessaly",
    "\n默認快捷鍵 CTRL+ALT+B",
    "\n快速啟動Tessaly",
    "特別提示",
    "corvex",
    "在線升級",
    "卸載",
};

}  // namespace quillax
