// Message boxes: the closing message of a program, questions to the user, and the report that
// memory has run out.
//
// Texts are GBK bytes (the program's text). On Windows they go to MessageBoxA with no owner
// window. On Linux a message box is console text on standard output, converted to UTF-8 for
// the terminal:
//     [caption]
//     text
// and a question adds a prompt and reads the answer from standard input ("y"/"yes",
// "n"/"no", "c"/"cancel", any case). The prompt writes the default button's letter in capitals
// ("(Y/n) ", "(y/N/c) "), and an empty line, Enter as on Windows, presses that button. A box with
// the warning icon has " (warning)" after its caption. Scripts and tests answer without a
// terminal through the environment variable QUILLAX_MESSAGE_ANSWER ("yes", "no" or "cancel"),
// which is used without reading anything. Without an answer (end of input, or an answer that
// names no button of the box) a question gets its safe answer: No for Yes/No, Cancel for
// Yes/No/Cancel. On Windows, too, QUILLAX_MESSAGE_ANSWER answers every box without showing it,
// so that tests can drive the programs under Wine.
//
// No function throws.
#pragma once

#include <optional>
#include <string_view>

namespace quillax::platform {

enum class MessageButtons { Ok, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Yes, No, Cancel };

// How a box looks beyond its buttons: its icon, and the button that Enter presses.
enum class MessageIcon { None, Warning };
enum class DefaultButton { First, Second };
struct MessageStyle {
    MessageIcon icon = MessageIcon::None;
    DefaultButton defaultButton = DefaultButton::First;
};

// Shows the box and returns the answer (Ok for a box with only the OK button).
MessageAnswer ShowMessageBox(std::string_view text, std::string_view caption,
                             MessageButtons buttons = MessageButtons::Ok, MessageStyle style = {});

// The answer of the button that Enter presses in the box: its first button (Ok, Yes) or its
// second (No).
MessageAnswer DefaultAnswer(MessageButtons buttons, DefaultButton defaultButton);

// The answer a word gives ("y"/"yes", "n"/"no", "c"/"cancel", any case, blanks around it
// ignored), if it names a button of the box.
std::optional<MessageAnswer> AnswerOf(std::string_view word, MessageButtons buttons);
// The safe answer of a box: Ok, No for Yes/No, Cancel for Yes/No/Cancel.
MessageAnswer SafeAnswer(MessageButtons buttons);
// The answer QUILLAX_MESSAGE_ANSWER gives for the box (its safe answer when the word names no
// button of it), or nothing when the variable is not set.
std::optional<MessageAnswer> ScriptedAnswer(MessageButtons buttons);

// A box answered through QUILLAX_MESSAGE_ANSWER on a system where nobody sees it (Windows)
// leaves its text for the script that answered it: when QUILLAX_MESSAGE_LOG names a file,
// "[caption]\ntext\n" is appended to it in the program's GBK bytes (the Linux boxes are on
// standard output anyway). Failures are ignored.
void RecordScriptedMessage(std::string_view text, std::string_view caption);

// For the moment when memory has run out, where nothing more may be allocated: the message is
// prepared beforehand (the texts are copied and converted now) and shown later by
// ShowEmergencyMessage, which allocates nothing itself. Prepare again to change the texts.
void PrepareEmergencyMessage(std::string_view text, std::string_view caption);
void ShowEmergencyMessage() noexcept;

}  // namespace quillax::platform
