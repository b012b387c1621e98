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

std::string Lowered(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// The answer a word gives, if it names a button of the box.
bool AnswerOf(const std::string& word, MessageButtons buttons, MessageAnswer* answer) {
    const std::string w = Lowered(word);
    if (w == "y" || w == "yes") {
        *answer = MessageAnswer::Yes;
        return true;
    }
    if (w == "n" || w == "no") {
        *answer = MessageAnswer::No;
        return true;
    }
    if ((w == "c" || w == "cancel") && buttons == MessageButtons::YesNoCancel) {
        *answer = MessageAnswer::Cancel;
        return true;
    }
    return false;
}

std::string Trimmed(const std::string& text) {
    const std::size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) {
        return {};
    }
    const std::size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

}  // namespace

MessageAnswer ShowMessageBox(std::string_view text, std::string_view caption,
                             MessageButtons buttons) {
    try {
        std::cout << '[' << GbkToUtf8(caption) << "]\n" << GbkToUtf8(text) << '\n';
        if (buttons == MessageButtons::Ok) {
            std::cout.flush();
            return MessageAnswer::Ok;
        }
        const MessageAnswer safe =
            buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
        std::cout << (buttons == MessageButtons::YesNo ? "(y/n) " : "(y/n/c) ");
        MessageAnswer answer = safe;
        if (const char* given = std::getenv("QUILLAX_MESSAGE_ANSWER")) {
            if (!AnswerOf(Trimmed(given), buttons, &answer)) {
                answer = safe;
            }
            std::cout << given << '\n';
            std::cout.flush();
            return answer;
        }
        std::cout.flush();
        std::string line;
        if (!std::getline(std::cin, line) || !AnswerOf(Trimmed(line), buttons, &answer)) {
            answer = safe;
        }
        return answer;
    } catch (...) {
        return buttons == MessageButtons::Ok      ? MessageAnswer::Ok
               : buttons == MessageButtons::YesNo ? MessageAnswer::No
                                                  : MessageAnswer::Cancel;
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
