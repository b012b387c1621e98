// The traditional Chinese warning of the uninstall. This file is compiled with
// -fexec-charset=BIG5 (setup/CMakeLists.txt), so its literals are Big5 bytes.
#include "setup/uninstall.h"

namespace quillax {

extern const UninstallWarning kTraditionalUninstallWarning;

const UninstallWarning kTraditionalUninstallWarning = {
    "請慎操作，一切後果自負。",
    "=====================================================\n"
    "  如果您在Tessaly的系統裡存有任何個人資料，\n"
    "  如心得、筆記、或查找的資料，請先保存，以免丟失。\n"
    "  此程序必須是在Tessaly的安裝路徑的cfg子目錄下運行。\n"
    "=====================================================\n"
    "是否真的要完全卸載Tessaly，\n"
    "並刪除Tessaly目錄下的一切資料？",
};

}  // namespace quillax
