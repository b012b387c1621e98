// The locale texts of the set-up tool: the locale rule and the bytes of each column (GBK for
// simplified Chinese, Big5 for traditional Chinese, ASCII otherwise).
#include <gtest/gtest.h>

#include <string>

#include "platform/code_page.h"
#include "setup/locale_table.h"

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

    const std::string big5Notice = platform::Utf16ToBig5(u"特別提示\n默認快捷鍵 CTRL+ALT+B\n快速啟動Tessaly");
    ASSERT_EQ(big5Notice.find('?'), std::string::npos) << "every character has its Big5 code";
    EXPECT_EQ(ClosingNotice(kLocaleTraditional), big5Notice);
    const LocaleTexts& traditional = LocaleTable(kLocaleTraditional);
    EXPECT_EQ(traditional.updateShortcutName, platform::Utf16ToBig5(u"在線升級"));
    EXPECT_EQ(traditional.uninstallShortcutName, platform::Utf16ToBig5(u"卸載"));
    EXPECT_EQ(traditional.productName, "Tessaly");
    EXPECT_EQ(traditional.helpBaseName, "corvex");
}

}  // namespace
}  // namespace quillax
