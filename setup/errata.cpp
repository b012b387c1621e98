#include "setup/errata.h"

namespace quillax {

void ApplyErrata(SetupSession& session) {
    session.messageText = "本版本尚未提供勘误功能，未作任何修改。";
}

}  // namespace quillax
