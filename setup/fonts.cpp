#include "setup/fonts.h"

#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/shell.h"
#include "setup/driver.h"

namespace quillax {

const char kFontQuestionCaption[] = "安装请示";
const char kFontQuestionText[] =
    "您的计算机上已安装有幼圆字体,\n但需要更新成为本室提供的字体,\n字体文件在cfg子目录下。\n"
    "您是否自己安装?Y/n\n是,稍后请您先删除系统中的幼圆字体,\n再手动安装本字体,这样不需要重启。\n"
    "否,让我为您强制覆盖系统中的字体\n可能需要重新启动才能使用\n";
const char kFontHint[] = "\n如果简谱没有显示出来，\n请您打开windows\\fonts目录，\n使简谱字体被注册即可。";

namespace {

// Moves a file, also to another file system (copy, then delete the source).
void MoveFile(const GbString& from, const GbString& to) {
    if (!platform::RenamePath(from, to, false) && platform::CopyFileTo(from, to, true)) {
        platform::RemoveFile(from);
    }
}

}  // namespace

void InstallFonts(const SetupSession& session, std::string_view fontDirectory,
                  std::string_view fontsFolder, GbString& completionText) {
    if (fontDirectory.empty()) {
        return;
    }
    const GbString& config = session.configDirectory;
    const GbString destination = GbString(fontDirectory) + "\\";

    const GbString youYuan = config + "SimYou.ttf";
    if (platform::FileExists(youYuan)) {
        const GbString target = destination + "SimYou.ttf";
        bool overwrite = false;
        if (platform::FileExists(target) && !platform::RemoveFile(target) && session.showFlag) {
            // The installed font could not be removed (it is in use): the user decides.
            overwrite = platform::ShowMessageBox(kFontQuestionText, kFontQuestionCaption,
                                                 platform::MessageButtons::YesNo) == platform::MessageAnswer::No;
        }
        platform::CopyFileTo(youYuan, target, !overwrite);
    }

    for (const char* font : {"WINGDNG3.TTF", "cvfont.ttf", "jianpu2.5.1.ttf"}) {
        const GbString source = config + font;
        if (!platform::FileExists(source)) {
            continue;
        }
        const GbString target = destination + font;
        if (platform::FileExists(target)) {
            platform::RemoveFile(target);
        }
        MoveFile(source, target);
        if (GbString(font) == "jianpu2.5.1.ttf") {
            // The numbered-notation font: opening the fonts folder makes the system take it up.
            completionText.Append(kFontHint);
            if (!platform::RefreshFonts(fontsFolder)) {
                platform::ShowMessageBox(completionText, kClosingCaption, platform::MessageButtons::Ok);
            }
        }
    }
}

}  // namespace quillax
