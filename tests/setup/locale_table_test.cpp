// The locale texts of the set-up tool: the locale rule and the bytes of each column (GBK for
// simplified Chinese, traditional Chinese in the system's code page, ASCII otherwise).
#include <gtest/gtest.h>

#include <string>

#include "platform/code_page.h"
#include "platform/environment.h"
#include "setup/locale_table.h"
#include "setup/uninstall.h"

namespace quillax {
namespace {

TEST(LocaleTable, ChoosesTheColumnFromTheLocaleValue) {
    EXPECT_EQ(LocaleFromValue("00000804"), kLocaleSimplified);
    for (const char* traditional : {"00000404", "00001004", "00000C04", "00001404", "", "0404", "00001004,"}) {
        EXPECT_EQ(LocaleFromValue(traditional), kLocaleTraditional) << traditional;
    }
    for (const char* other : {"00000409", "00000c04", "00000804 ", "0804x"}) {
        EXPECT_EQ(LocaleFromValue(other), kLocaleOther) << other;
    }
    EXPECT_EQ(&LocaleTable(7), &LocaleTable(kLocaleOther));
}

TEST(LocaleTable, ColumnsAreStoredInTheirCodePages) {
    EXPECT_EQ(ClosingNotice(kLocaleOther),
              "May I Special Attention, Please\nDefualt Shortcut CTRL+ALT+B\ncan run corvex quickly");

    const std::string gbkNotice = platform::Utf16ToGbk(u"特别提示\n默认快捷键 CTRL+ALT+B\n可以快速启动Tessaly");
    EXPECT_EQ(ClosingNotice(kLocaleSimplified), gbkNotice);
    const LocaleTexts& simplified = LocaleTable(kLocaleSimplified);
    EXPECT_EQ(simplified.updateShortcutName, platform::Utf16ToGbk(u"在线升级"));
    EXPECT_EQ(simplified.uninstallShortcutName, platform::Utf16ToGbk(u"卸载"));

    // The traditional column is stored as Big5 and shown as the system reads text: Big5 where
    // its code page is Big5, the same characters in GBK everywhere else (always on Linux),
    // where Big5 bytes would be read as other characters.
    const bool big5System = platform::AnsiCodePage() == 950;
    const auto system = [big5System](const std::u16string& text) {
        return big5System ? platform::Utf16ToBig5(text) : platform::Utf16ToGbk(text);
    };
    const std::u16string notice = u"特別提示\n默認快捷鍵 CTRL+ALT+B\n快速啟動Tessaly";
    ASSERT_EQ(platform::Utf16ToBig5(notice).find('?'), std::string::npos) << "every character has its Big5 code";
    ASSERT_EQ(platform::Utf16ToGbk(notice).find('?'), std::string::npos) << "and its GBK code";
    EXPECT_EQ(ClosingNotice(kLocaleTraditional), system(notice));
    EXPECT_EQ(TraditionalTextForSystem(platform::Utf16ToBig5(notice)), system(notice));
    const LocaleTexts& traditional = LocaleTable(kLocaleTraditional);
    EXPECT_EQ(traditional.updateShortcutName, system(u"在線升級"));
    EXPECT_EQ(traditional.uninstallShortcutName, system(u"卸載"));
    EXPECT_EQ(traditional.productName, "Tessaly");
    EXPECT_EQ(traditional.helpBaseName, "corvex");
    const UninstallWarning& warning = UninstallWarningFor(kLocaleTraditional);
    EXPECT_EQ(warning.caption, system(u"請慎操作，一切後果自負。"));
    EXPECT_NE(warning.text.find(system(u"並刪除Tessaly目錄下的一切資料？")), std::string_view::npos);
}

}  // namespace
}  // namespace quillax
