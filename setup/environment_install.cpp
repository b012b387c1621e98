#include "setup/environment_install.h"

#include "setup/locale_table.h"
#include "setup/module_index.h"

namespace quillax {

void InstallEnvironment(SetupSession& session, bool /*withReregistration*/) {
    PrepareModules(session.configDirectory);
    session.messageText = ClosingNotice(DetectLocale());
}

}  // namespace quillax
