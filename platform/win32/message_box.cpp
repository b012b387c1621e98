// Message boxes on Windows: MessageBoxA with no owner window.
#include <windows.h>

#include <string>

#include "platform/message_box.h"

namespace quillax::platform {
namespace {

// The texts ShowEmergencyMessage shows, copied when they were prepared.
std::string emergencyText;
std::string emergencyCaption;

}  // namespace

MessageAnswer ShowMessageBox(std::string_view text, std::string_view caption,
                             MessageButtons buttons, MessageStyle style) {
    try {
        if (const std::optional<MessageAnswer> scripted = ScriptedAnswer(buttons)) {
            RecordScriptedMessage(text, caption);
            return *scripted;
        }
        const std::string t(text);
        const std::string c(caption);
        UINT type = buttons == MessageButtons::YesNo         ? MB_YESNO
                    : buttons == MessageButtons::YesNoCancel ? MB_YESNOCANCEL
                                                             : MB_OK;
        if (style.icon == MessageIcon::Warning) type |= MB_ICONWARNING;
        if (style.defaultButton == DefaultButton::Second) type |= MB_DEFBUTTON2;
        switch (MessageBoxA(nullptr, t.c_str(), c.c_str(), type)) {
            case IDYES:
                return MessageAnswer::Yes;
            case IDNO:
                return MessageAnswer::No;
            case IDOK:
                return MessageAnswer::Ok;
            default:
                return SafeAnswer(buttons);
        }
    } catch (...) {
        return SafeAnswer(buttons);
    }
}

void PrepareEmergencyMessage(std::string_view text, std::string_view caption) {
    try {
        emergencyText.assign(text.data(), text.size());
        emergencyCaption.assign(caption.data(), caption.size());
    } catch (...) {
        emergencyText.clear();
        emergencyCaption.clear();
    }
}

void ShowEmergencyMessage() noexcept {
    MessageBoxA(nullptr, emergencyText.c_str(), emergencyCaption.c_str(), MB_OK);
}

}  // namespace quillax::platform
