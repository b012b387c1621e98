// The Windows dialog of the updater: dialog resource 102 as the program carries it (the
// resource script is linked into this test too). The dialog at work, with its front, is tested
// on a display by tests/wine/updater_dialog.sh.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "updater/texts.h"
#include "updater/win32/resource_ids.h"

namespace quillax {
namespace {

// A UTF-16 text of the template as GBK bytes (code page 936, whatever the system's code page).
std::string Gbk(const wchar_t* text, std::size_t length) {
    const int size = WideCharToMultiByte(936, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(936, 0, text, static_cast<int>(length), &out[0], size, nullptr, nullptr);
    return out;
}

// Reads the fields of a DLGTEMPLATEEX in order.
class TemplateReader {
public:
    explicit TemplateReader(const BYTE* bytes) : p_(bytes) {}
    WORD Word() {
        WORD value;
        std::memcpy(&value, p_, sizeof value);
        p_ += sizeof value;
        return value;
    }
    DWORD Dword() {
        DWORD value;
        std::memcpy(&value, p_, sizeof value);
        p_ += sizeof value;
        return value;
    }
    short Short() { return static_cast<short>(Word()); }
    // A text, or "#<number>" for an ordinal.
    std::string Text() {
        if (Peek() == 0xFFFF) {
            Word();
            return "#" + std::to_string(Word());
        }
        const auto* start = reinterpret_cast<const wchar_t*>(p_);
        std::size_t length = 0;
        while (Word() != 0) {
            ++length;
        }
        return Gbk(start, length);
    }
    void AlignDword() {
        while (reinterpret_cast<std::uintptr_t>(p_) % 4 != 0) {
            ++p_;
        }
    }
    void Skip(std::size_t bytes) { p_ += bytes; }

private:
    WORD Peek() const {
        WORD value;
        std::memcpy(&value, p_, sizeof value);
        return value;
    }
    const BYTE* p_;
};

// A control's class in upper case, the predefined classes named also when given by atom.
std::string ClassName(std::string kind) {
    if (kind == "#128") {
        return "BUTTON";
    }
    if (kind == "#130") {
        return "STATIC";
    }
    if (kind == "#131") {
        return "LISTBOX";
    }
    for (char& c : kind) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return kind;
}

struct Item {
    int id;
    std::string kind;  // class name or "#<atom>"
    std::string text;
    short x, y, cx, cy;
    DWORD style;
};

TEST(UpdateDialogTemplate, HoldsTheControlsTextsPositionsAndFont) {
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(self, MAKEINTRESOURCEA(IDD_CVUPDATE), MAKEINTRESOURCEA(5));
    ASSERT_NE(found, nullptr);
    TemplateReader reader(static_cast<const BYTE*>(LockResource(LoadResource(self, found))));
    ASSERT_EQ(reader.Word(), 1);       // dlgVer
    ASSERT_EQ(reader.Word(), 0xFFFF);  // DLGTEMPLATEEX
    reader.Dword();                    // help id
    const DWORD exStyle = reader.Dword();
    const DWORD style = reader.Dword();
    const WORD count = reader.Word();
    const short x = reader.Short();
    const short y = reader.Short();
    const short cx = reader.Short();
    const short cy = reader.Short();
    EXPECT_EQ(style & (DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU),
              static_cast<DWORD>(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU));
    EXPECT_NE(style & DS_SETFONT, 0u);
    EXPECT_NE(style & DS_CENTER, 0u);  // opens in the middle of the screen
    EXPECT_NE(exStyle & WS_EX_APPWINDOW, 0u);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(cx, 323);
    EXPECT_EQ(cy, 185);
    EXPECT_EQ(reader.Text(), "");    // no menu ...
    EXPECT_EQ(reader.Text(), "");    // ... the standard dialog class
    EXPECT_EQ(reader.Text(), updater_text::kDialogCaption);
    EXPECT_EQ(reader.Word(), 9);     // points
    reader.Word();                   // weight
    reader.Skip(2);                  // italic, charset
    EXPECT_EQ(reader.Text(), "宋体");

    std::vector<Item> items;
    for (WORD i = 0; i < count; ++i) {
        reader.AlignDword();
        Item item{};
        reader.Dword();  // help id
        reader.Dword();  // extended style
        item.style = reader.Dword();
        item.x = reader.Short();
        item.y = reader.Short();
        item.cx = reader.Short();
        item.cy = reader.Short();
        item.id = static_cast<int>(static_cast<LONG>(reader.Dword()));
        item.kind = ClassName(reader.Text());
        item.text = reader.Text();
        reader.Skip(reader.Word());  // creation data
        items.push_back(item);
    }
    struct Expected {
        int id;
        const char* kind;
        std::string text;
        short x, y, cx, cy;
    };
    const Expected expected[] = {
        {IDOK, "BUTTON", updater_text::kCaptionNext, 182, 166, 50, 14},
        {IDCANCEL, "BUTTON", updater_text::kCaptionCancel, 239, 166, 50, 14},
        {IDC_PICTURE, "STATIC", "#131", 0, 0, 109, 185},
        {IDC_STATUS, "STATIC", updater_text::kStatusInitial, 119, 139, 198, 16},
        {IDC_PROGRESS, "MSCTLS_PROGRESS32", "", 119, 123, 201, 12},
        {-1, "STATIC", "", 119, 157, 199, 1},
        {-1, "STATIC", updater_text::kHeading, 119, 7, 137, 8},
        {IDC_LIST, "LISTBOX", "", 112, 19, 207, 100},
    };
    ASSERT_EQ(items.size(), std::size(expected));
    for (std::size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE("control " + std::to_string(i));
        EXPECT_EQ(items[i].id, expected[i].id);
        EXPECT_EQ(items[i].kind, expected[i].kind);
        EXPECT_EQ(items[i].text, expected[i].text);
        EXPECT_EQ(items[i].x, expected[i].x);
        EXPECT_EQ(items[i].y, expected[i].y);
        EXPECT_EQ(items[i].cx, expected[i].cx);
        EXPECT_EQ(items[i].cy, expected[i].cy);
    }
    EXPECT_EQ(items[0].style & 0x0F, static_cast<DWORD>(BS_DEFPUSHBUTTON));
    EXPECT_EQ(items[2].style & SS_TYPEMASK, static_cast<DWORD>(SS_BITMAP));
    // The status: two lines (a status and the result added to it), wrapped at any character,
    // "&" shown as it is.
    EXPECT_EQ(items[3].style & SS_TYPEMASK, static_cast<DWORD>(SS_LEFT));
    EXPECT_EQ(items[3].style & (SS_EDITCONTROL | SS_NOPREFIX), static_cast<DWORD>(SS_EDITCONTROL | SS_NOPREFIX));
    EXPECT_EQ(items[5].style & SS_TYPEMASK, static_cast<DWORD>(SS_ETCHEDHORZ));
    EXPECT_EQ(items[7].style & (LBS_SORT | WS_VSCROLL), static_cast<DWORD>(WS_VSCROLL));  // unsorted
}

}  // namespace
}  // namespace quillax
