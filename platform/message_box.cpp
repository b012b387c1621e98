// The answer rules that message boxes share on every system.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/message_box.h"

namespace quillax::platform {

std::optional<MessageAnswer> AnswerOf(std::string_view word, MessageButtons buttons) {
    const std::size_t begin = word.find_first_not_of(" \t\r\n");
    if (begin == std::string_view::npos) return std::nullopt;
    word = word.substr(begin, word.find_last_not_of(" \t\r\n") - begin + 1);
    std::string w;
    for (const char c : word) {
        w += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    if (w == "y" || w == "yes") return MessageAnswer::Yes;
    if (w == "n" || w == "no") return MessageAnswer::No;
    if ((w == "c" || w == "cancel") && buttons == MessageButtons::YesNoCancel) {
        return MessageAnswer::Cancel;
    }
    return std::nullopt;
}

MessageAnswer DefaultAnswer(MessageButtons buttons, DefaultButton defaultButton) {
    if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    return defaultButton == DefaultButton::Second ? MessageAnswer::No : MessageAnswer::Yes;
}

MessageAnswer SafeAnswer(MessageButtons buttons) {
    return buttons == MessageButtons::Ok      ? MessageAnswer::Ok
           : buttons == MessageButtons::YesNo ? MessageAnswer::No
                                              : MessageAnswer::Cancel;
}

std::optional<MessageAnswer> ScriptedAnswer(MessageButtons buttons) {
    const char* given = std::getenv("QUILLAX_MESSAGE_ANSWER");
    if (given == nullptr) return std::nullopt;
    return AnswerOf(given, buttons).value_or(SafeAnswer(buttons));
}

void RecordScriptedMessage(std::string_view text, std::string_view caption) {
    const char* log = std::getenv("QUILLAX_MESSAGE_LOG");
    if (log == nullptr || *log == '\0') {
        return;
    }
    try {
        std::string entry = "[";
        entry.append(caption);
        entry += "]\n";
        entry.append(text);
        entry += '\n';
        if (std::FILE* file = std::fopen(log, "ab")) {
            std::fwrite(entry.data(), 1, entry.size(), file);
            std::fclose(file);
        }
    } catch (...) {
        // Nothing is recorded.
    }
}

}  // namespace quillax::platform
