// The resources of the built envoke.exe as the shell and the updater read them from the file:
// the two icons the shortcuts name by their index, and the version strings; and the command
// that opens the fonts folder at the end of the set-up run.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/program_location.h"
#include "platform/shell.h"
#include "platform/version_info.h"

namespace quillax {
namespace {

std::string BuiltEnvoke() { return platform::ProgramDirectory() + "\\envoke.exe"; }

// The colour pixels of an icon as 32-bit rows; empty when they cannot be read.
std::vector<unsigned char> PixelsOf(HICON icon) {
    std::vector<unsigned char> pixels;
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) {
        return pixels;
    }
    BITMAP bitmap{};
    if (info.hbmColor != nullptr && GetObjectA(info.hbmColor, sizeof bitmap, &bitmap) != 0) {
        BITMAPINFO format{};
        format.bmiHeader.biSize = sizeof format.bmiHeader;
        format.bmiHeader.biWidth = bitmap.bmWidth;
        format.bmiHeader.biHeight = bitmap.bmHeight;
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 32;
        format.bmiHeader.biCompression = BI_RGB;
        pixels.resize(static_cast<std::size_t>(bitmap.bmWidth) * static_cast<std::size_t>(bitmap.bmHeight) * 4);
        HDC screen = GetDC(nullptr);
        if (GetDIBits(screen, info.hbmColor, 0, static_cast<UINT>(bitmap.bmHeight), pixels.data(), &format,
                      DIB_RGB_COLORS) == 0) {
            pixels.clear();
        }
        ReleaseDC(nullptr, screen);
    }
    if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
    if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
    return pixels;
}

TEST(EnvokeResources, TheShortcutIconsAndTheVersionAreReadBackFromTheProgram) {
    const std::string envoke = BuiltEnvoke();
    // Exactly two icons: index 0 for the main shortcut, index 1 for the uninstall shortcut.
    EXPECT_EQ(ExtractIconExA(envoke.c_str(), -1, nullptr, nullptr, 0), 2u);
    std::vector<unsigned char> pictures[2];
    for (int index = 0; index < 2; ++index) {
        HICON large = nullptr;
        HICON small = nullptr;
        ExtractIconExA(envoke.c_str(), index, &large, &small, 1);
        EXPECT_NE(large, nullptr) << "icon " << index << " in the large size";
        EXPECT_NE(small, nullptr) << "icon " << index << " in the small size";
        pictures[index] = PixelsOf(large);
        EXPECT_FALSE(pictures[index].empty()) << "icon " << index;
        if (large != nullptr) DestroyIcon(large);
        if (small != nullptr) DestroyIcon(small);
    }
    EXPECT_NE(pictures[0], pictures[1]) << "the uninstall shortcut shows an icon of its own";

    // The version strings, from which the updater takes the installed label.
    const auto strings = platform::ReadVersionStrings(envoke);
    ASSERT_TRUE(strings.has_value());
    EXPECT_EQ(strings->fileVersion, QUILLAX_FILEVERSION_TEXT);
    EXPECT_NE(strings->legalCopyright.find("Tessaly"), std::string::npos) << strings->legalCopyright;
}

TEST(EnvokeFontsFolder, TheFolderOpensMinimisedBehindTheClosingBox) {
    // start takes "/min" as its own option only before the folder; the folder window opens
    // minimised and the closing box stays in front.
    EXPECT_EQ(platform::FontsFolderCommand("C:\\WINDOWS\\Fonts"), "start /min C:\\WINDOWS\\Fonts && exit");
}

}  // namespace
}  // namespace quillax
