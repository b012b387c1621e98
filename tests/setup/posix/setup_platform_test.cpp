// The platform services the set-up tool adds, as Linux provides them: message boxes on the
// console, program locations in the program's form, the stand-in system directory and the
// locale value from the registry store.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/code_page.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/posix/posix_test_support.h"
#include "platform/program_location.h"
#include "platform/registry.h"
#include "setup/driver.h"
#include "setup/locale_table.h"
#include "setup/setup_test_support.h"

namespace quillax {
namespace {

using platform::MessageAnswer;
using platform::MessageButtons;
using testsupport::CurrentDirectoryGuard;
using testsupport::TempDirectory;
using testsupport::TempInstallation;

std::string ProgramForm(std::string path) {
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

// Runs a message box with the answer given through the environment and returns its answer and
// what it printed.
MessageAnswer Ask(const char* answer, MessageButtons buttons, std::string* printed) {
    if (answer != nullptr) {
        ::setenv("QUILLAX_MESSAGE_ANSWER", answer, 1);
    } else {
        ::unsetenv("QUILLAX_MESSAGE_ANSWER");
    }
    ::testing::internal::CaptureStdout();
    const MessageAnswer result = platform::ShowMessageBox("确定?", "安装请示", buttons);
    *printed = ::testing::internal::GetCapturedStdout();
    ::unsetenv("QUILLAX_MESSAGE_ANSWER");
    return result;
}

TEST(SetupPlatform, MessageBoxesPrintUtf8AndTakeAnswers) {
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(platform::ShowMessageBox("内存冲突!", "错误"), MessageAnswer::Ok);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), u8"[错误]\n内存冲突!\n");

    std::string printed;
    EXPECT_EQ(Ask("yes", MessageButtons::YesNo, &printed), MessageAnswer::Yes);
    EXPECT_EQ(printed, u8"[安装请示]\n确定?\n(Y/n) yes\n");
    EXPECT_EQ(Ask("N", MessageButtons::YesNoCancel, &printed), MessageAnswer::No);
    EXPECT_EQ(Ask("cancel", MessageButtons::YesNoCancel, &printed), MessageAnswer::Cancel);
    // An answer that names no button of the box gets the safe answer.
    EXPECT_EQ(Ask("cancel", MessageButtons::YesNo, &printed), MessageAnswer::No);
    EXPECT_EQ(Ask("perhaps", MessageButtons::YesNoCancel, &printed), MessageAnswer::Cancel);

    // At the terminal Enter alone presses the default button, which the prompt writes in
    // capitals; the end of the input is no answer and gets the safe one.
    const platform::MessageStyle warning{platform::MessageIcon::Warning, platform::DefaultButton::Second};
    const auto typed = [](const std::string& keys, MessageButtons buttons, platform::MessageStyle style,
                          std::string* shown) {
        const testing::ScopedVariable noScript("QUILLAX_MESSAGE_ANSWER", std::nullopt);
        const testing::TypedInput input(keys);
        ::testing::internal::CaptureStdout();
        const MessageAnswer result = platform::ShowMessageBox("确定?", "安装请示", buttons, style);
        *shown = ::testing::internal::GetCapturedStdout();
        return result;
    };
    EXPECT_EQ(typed("\n", MessageButtons::YesNo, {}, &printed), MessageAnswer::Yes);
    EXPECT_EQ(printed, u8"[安装请示]\n确定?\n(Y/n) ");
    EXPECT_EQ(typed("\n", MessageButtons::YesNoCancel, warning, &printed), MessageAnswer::No);
    EXPECT_EQ(printed, u8"[安装请示] (warning)\n确定?\n(y/N/c) ");
    EXPECT_EQ(typed(" \r\n", MessageButtons::YesNo, warning, &printed), MessageAnswer::No);
    EXPECT_EQ(typed("y\n", MessageButtons::YesNoCancel, warning, &printed), MessageAnswer::Yes);
    EXPECT_EQ(typed("", MessageButtons::YesNoCancel, {}, &printed), MessageAnswer::Cancel);
    EXPECT_EQ(typed("\n", MessageButtons::Ok, warning, &printed), MessageAnswer::Ok);
    EXPECT_EQ(printed, u8"[安装请示] (warning)\n确定?\n");

    platform::PrepareEmergencyMessage("内存冲突!", "错误");
    ::testing::internal::CaptureStdout();
    platform::ShowEmergencyMessage();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), u8"[错误]\n内存冲突!\n");
}

TEST(SetupPlatform, LocationsComeInTheProgramsForm) {
    CurrentDirectoryGuard guard;
    TempDirectory dir;
    ASSERT_TRUE(platform::ChangeDirectory(dir.Path()));
    EXPECT_EQ(platform::StartDirectory(), ProgramForm(platform::CurrentDirectory()));
    EXPECT_EQ(platform::StartDirectory().find('/'), std::string::npos);
    EXPECT_EQ(platform::StartDirectory().front(), '\\');

    const std::string program = platform::ProgramPath();
    EXPECT_EQ(program, platform::ProgramDirectory() + "\\setup_tests");
    EXPECT_TRUE(platform::FileExists(program));

    ::unsetenv("QUILLAX_SYSTEM_DIR");
    EXPECT_EQ(platform::SystemDirectory(), "");
    ::setenv("QUILLAX_SYSTEM_DIR", "/opt/win/system32//", 1);
    EXPECT_EQ(platform::SystemDirectory(), "\\opt\\win\\system32");
    ::unsetenv("QUILLAX_SYSTEM_DIR");
}

TEST(SetupPlatform, DriverUsesTheSystemDirectoryStandIn) {
    CurrentDirectoryGuard guard;
    TempInstallation install;
    TempDirectory windows;
    ASSERT_TRUE(platform::MakeDirectories(windows.Path() + "system32"));
    ASSERT_TRUE(platform::WriteWholeFile(windows.Path() + "system32\\quillax.exe", "old"));
    ::setenv("QUILLAX_SYSTEM_DIR", (windows.Bare() + "/system32").c_str(), 1);
    ASSERT_TRUE(platform::ChangeDirectory(install.Config()));
    SetupSession session;
    RunCommandLine(session, "-h");
    ::unsetenv("QUILLAX_SYSTEM_DIR");

    const std::string system = ProgramForm(windows.Bare()) + "\\system32";
    EXPECT_EQ(session.systemDirectory, system);
    EXPECT_EQ(session.systemComponentPath, system + "\\quillax.dll");
    EXPECT_EQ(session.fontDirectory, ProgramForm(windows.Bare()) + "\\FONTS");
    EXPECT_FALSE(platform::PathExists(windows.Path() + "system32\\quillax.exe")) << "a stale program goes";

    // Without a system directory there is nothing to form.
    SetupSession bare;
    RunCommandLine(bare, "-h");
    EXPECT_TRUE(bare.systemDirectory.IsEmpty());
    EXPECT_TRUE(bare.systemComponentPath.IsEmpty());
    EXPECT_TRUE(bare.fontDirectory.IsEmpty());
}

TEST(SetupPlatform, DetectLocaleReadsTheRegistry) {
    const auto root = platform::RegistryRoot::CurrentUser;
    ASSERT_TRUE(platform::WriteRegistryString(root, "Control Panel\\International", "Locale", "00000804"));
    EXPECT_EQ(DetectLocale(), kLocaleSimplified);
    ASSERT_TRUE(platform::WriteRegistryString(root, "Control Panel\\International", "Locale", "00000409"));
    EXPECT_EQ(DetectLocale(), kLocaleOther);
    ASSERT_TRUE(platform::WriteRegistryString(root, "Control Panel\\International", "Locale", ""));
    EXPECT_EQ(DetectLocale(), kLocaleTraditional) << "an empty value is inside the traditional list";

    // Without the value Linux takes the locale from LC_ALL, or else LANG.
    ASSERT_TRUE(platform::DeleteRegistryTree(root, "Control Panel"));
    ::setenv("LANG", "zh_TW.UTF-8", 1);
    EXPECT_EQ(DetectLocale(), kLocaleTraditional);
    ::setenv("LANG", "zh_HK.Big5", 1);
    EXPECT_EQ(DetectLocale(), kLocaleTraditional);
    ::setenv("LC_ALL", "zh_CN.GBK", 1);
    EXPECT_EQ(DetectLocale(), kLocaleSimplified) << "LC_ALL comes first";
    ::unsetenv("LC_ALL");
    ::setenv("LANG", "en_US.UTF-8", 1);
    EXPECT_EQ(DetectLocale(), kLocaleSimplified) << "any other locale: simplified";
    ::setenv("LANG", "C", 1);
}

}  // namespace
}  // namespace quillax
