#include "setup/bible_import.h"

namespace quillax {

void ImportBible(SetupSession& session, const GbString& fileName) {
    session.messageText = GbString("本版本尚未提供导入功能，未导入: ") + fileName;
}

}  // namespace quillax
