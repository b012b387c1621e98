// The updater's own texts: captions, status texts, list lines and messages (GBK at run time).
#pragma once

namespace quillax::updater_text {

// Captions of the default button; the caption names the step the button takes next.
inline constexpr char kCaptionNext[] = "下一步(&N)";
inline constexpr char kCaptionUpdate[] = "更新(&U)";
inline constexpr char kCaptionFinish[] = "完成(&O)";
inline constexpr char kCaptionCancel[] = "取消(&C)";

inline constexpr char kDialogCaption[] = "Tessaly在线更新 1.0";
inline constexpr char kHeading[] = "以下产品或组件已安装在您的系统上：";

// Status texts.
inline constexpr char kStatusInitial[] = "点击下一步查看可用的更新";
inline constexpr char kStatusConnecting[] = "正在连接到服务器...";
inline constexpr char kStatusConnectFailed[] = "连接服务器失败！";
inline constexpr char kStatusReadingManifest[] = "读取版本信息...";
inline constexpr char kStatusListing[] = "获取更新列表:\n";
inline constexpr char kStatusNothingToDo[] = "现在还没有需要更新的文件！请按取消键退出。";
inline constexpr char kStatusUpdatesFound[] = "有新资料文件需要更新!";
inline constexpr char kStatusPassDone[] = "完成更新！";
inline constexpr char kStatusDownloading[] = "正在下载文件：";
inline constexpr char kStatusNotFound[] = "不存在！";
inline constexpr char kStatusDownloadDone[] = "完成更新!";
// The manifest was answered with a status other than 2xx: this, the status, kStatusManifestRefusedEnd.
inline constexpr char kStatusManifestRefused[] = "无法获取更新列表（服务器返回 ";
inline constexpr char kStatusManifestRefusedEnd[] = "）！";
// The user cancelled the running pass.
inline constexpr char kStatusCancelled[] = "已取消更新，已完成的文件保留，其余文件未作改动。";

// List lines.
inline constexpr char kLineUpdating[] = "正在更新:";
inline constexpr char kLineUpdatingEnd[] = "...";
inline constexpr char kLineUpdated[] = "更新完毕";
inline constexpr char kLineCorrectionsMerged[] = "已经更新了bible.ini中的繁简字对照修正表!";
// A download whose SHA-256 digest differs from the manifest's: update file + this text.
inline constexpr char kLineDigestMismatch[] = "校验失败(SHA-256不符)，未安装！";
// A download that broke off (short body, reset connection, time-out): update file + this text
// + the system's text for the failure. The entry is not installed; the pass goes on.
inline constexpr char kLineDownloadFailed[] = "下载失败，未安装：";
// A manifest or a downloaded bible.ini larger than kProfileDownloadLimit: the file + this text.
// Nothing of it is kept or read.
inline constexpr char kLineTooLarge[] = "超过4 MB，不是有效的更新资料，已放弃！";
// A download that is not an archive that can be unpacked: update file + this text.
inline constexpr char kLineArchiveUnreadable[] = "不是可以解压的ZIP文件，未安装！";
// An archive entry that could not be unpacked (file in use, name too long, damaged data):
// this text + the entry's name.
inline constexpr char kLineEntryNotUnpacked[] = "未能解压：";
// A target or download folder that is a link leading out of the installation: the folder +
// this text.
inline constexpr char kLineLinkOutside[] = "是指向安装目录以外的链接，不在那里写入或删除，未安装！";

// Messages.
inline constexpr char kMessageSocketsFailed[] = "Windows 通信端口初始化失败。";
inline constexpr char kMessageBadUrl[] = "版本文件URL应一http://开头!";
inline constexpr char kMessageWriteFailed[] = "写文件";
inline constexpr char kMessageWriteFailedEnd[] = "错误！\n文件正在使用中，请先关闭程序！";
// The same when the disk (or the user's quota) is full: kMessageWriteFailed + path + this.
inline constexpr char kMessageDiskFullEnd[] = "错误！\n磁盘已满，请先腾出磁盘空间再更新！";
inline constexpr char kMessageProductRunning[] =
    "已在运行！\n请先关闭程序才能进行更新！\n如果选择确定将强行关闭程序！";
// The console program's question before it installs.
inline constexpr char kQuestionInstallNow[] = "是否现在更新以上文件？";
// Written to standard output when the relaunched copy cannot be started.
inline constexpr char kRelaunchErrorFormat[] = "错误码: %d";

}  // namespace quillax::updater_text
