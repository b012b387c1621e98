#include "setup/uninstall.h"

namespace quillax {

void Uninstall(SetupSession& session) {
    session.messageText = "本版本尚未提供卸载功能，未作任何修改。";
}

void ClearRegistration(SetupSession& session) {
    session.messageText = "本版本尚未提供注销功能，未作任何修改。";
}

}  // namespace quillax
