// Message boxes on Linux: console text on standard output, answers from standard input or from
// the environment (see platform/message_box.h).
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "platform/code_page.h"
#include "platform/message_box.h"

namespace quillax::platform {
namespace {

// The bytes ShowEmergencyMessage writes, converted when they were prepared.
std::string emergencyBytes;

// The prompt of a question, the default button's letter in capitals: "(Y/n) ", "(y/N/c) ".
std::string Prompt(MessageButtons buttons, DefaultButton defaultButton) {
    const bool second = defaultButton == DefaultButton::Second;
    std::string prompt = second ? "(y/N" : "(Y/n";
    if (buttons == MessageButtons::YesNoCancel) prompt += "/c";
    return prompt + ") ";
}

}  // namespace

MessageAnswer ShowMessageBox(std::string_view text, std::string_view caption,
                             MessageButtons buttons, MessageStyle style) {
    try {
        std::cout << '[' << GbkToUtf8(caption) << ']'
                  << (style.icon == MessageIcon::Warning ? " (warning)" : "") << '\n'
                  << GbkToUtf8(text) << '\n';
        if (buttons == MessageButtons::Ok) {
            std::cout.flush();
            return MessageAnswer::Ok;
        }
        std::cout << Prompt(buttons, style.defaultButton);
        if (const char* given = std::getenv("QUILLAX_MESSAGE_ANSWER")) {
            std::cout << given << '\n';
            std::cout.flush();
            return ScriptedAnswer(buttons).value_or(SafeAnswer(buttons));
        }
        std::cout.flush();
        std::string line;
        if (!std::getline(std::cin, line)) return SafeAnswer(buttons);
        if (line.find_first_not_of(" \t\r") == std::string::npos) {
            return DefaultAnswer(buttons, style.defaultButton);  // Enter alone
        }
        return AnswerOf(line, buttons).value_or(SafeAnswer(buttons));
    } catch (...) {
        return SafeAnswer(buttons);
    }
}

void PrepareEmergencyMessage(std::string_view text, std::string_view caption) {
    try {
        emergencyBytes = "[" + GbkToUtf8(caption) + "]\n" + GbkToUtf8(text) + "\n";
    } catch (...) {
        emergencyBytes.clear();
    }
}

void ShowEmergencyMessage() noexcept {
    std::fflush(stdout);
    const char* data = emergencyBytes.data();
    std::size_t left = emergencyBytes.size();
    while (left > 0) {
        const ssize_t n = write(STDOUT_FILENO, data, left);
        if (n <= 0) {
            break;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
}

}  // namespace quillax::platform
