#pragma once
// The words of the window that lists who holds a drive, and of its lines
// in log.txt.

namespace qm::blockertext {

// "占用 G: 的程序"
inline constexpr char kCaptionBefore[] = "占用 ";
inline constexpr char kCaptionAfter[] = ": 的程序";
// "以下程序正在使用 G: 上的文件, 关闭它们后即可弹出:"
inline constexpr char kHeadingBefore[] = "以下程序正在使用 ";
inline constexpr char kHeadingAfter[] = ": 上的文件, 关闭它们后即可弹出:";

inline constexpr char kSwitchTo[] = "切换到(&S)";
inline constexpr char kCloseProgram[] = "关闭程序(&C)";
inline constexpr char kEndProcess[] = "结束进程(&E)";
inline constexpr char kRetry[] = "重试(&R)";
inline constexpr char kForceEject[] = "强制弹出(&F)";
inline constexpr char kCancel[] = "取消";

// A row.
inline constexpr char kFolderWindow[] = "资源管理器窗口";
inline constexpr char kWindowPrefix[] = "窗口: ";
inline constexpr char kNoWindow[] = "窗口: 没有";
inline constexpr char kFilesPrefix[] = "文件: ";
inline constexpr char kFolderPrefix[] = "文件夹: ";
inline constexpr char kFilesUnknown[] = "文件: 由系统记录得知, 具体文件未知";
// "... 等 7 个"
inline constexpr char kFilesMoreBefore[] = " 等 ";
inline constexpr char kFilesMoreAfter[] = " 个";
inline constexpr char kFileSeparator[] = ", ";

// Why a row cannot be ended here, and what helps instead.
inline constexpr char kNoteFolderWindow[] = "关闭程序只关闭这个窗口";
inline constexpr char kNoteSelf[] = "本程序自身, 不能在此关闭";
inline constexpr char kNoteShell[] = "系统外壳程序, 不能结束; 请关闭它在此驱动器上的窗口, 稍候重试";
inline constexpr char kNoteSystem[] = "系统进程, 不能结束; 请稍候重试";
inline constexpr char kNoteIndexer[] = "Windows 搜索正在读取此驱动器; 请稍候重试";
inline constexpr char kNoteAntivirus[] = "杀毒软件正在检查此驱动器; 请稍候重试";
inline constexpr char kNoteOtherUser[] = "其他用户的程序, 不能在此结束; 请该用户关闭后重试";
inline constexpr char kNoteHidden[] =
    "无权访问此进程 (可能以管理员身份运行), 不能在此结束; 请手动关闭后重试";

// The line above the buttons.
inline constexpr char kStatusFollowing[] = "列表随占用情况自动更新。";
inline constexpr char kStatusEmpty[] = "没有找到占用程序, 请重试或强制弹出。";
inline constexpr char kStatusEjecting[] = "正在弹出...";
inline constexpr char kStatusFailed[] = "弹出失败。";
inline constexpr char kStatusBusy[] = "另一个弹出正在进行, 请稍候再试。";
inline constexpr char kStatusCloseAsked[] = "已请求程序关闭; 它可能会询问是否保存。";

// The question before a process is ended: "确定要结束 WINWORD.EXE (4312) 吗?..."
inline constexpr char kConfirmEndBefore[] = "确定要结束 ";
inline constexpr char kConfirmEndAfter[] = " 吗?\r\n\r\n该程序中尚未保存的工作将会丢失。";

// log.txt: the action, whom it was for, then ": " and how it went.
inline constexpr char kLogSwitchTo[] = "切换到 ";
inline constexpr char kLogCloseProgram[] = "关闭程序 ";
inline constexpr char kLogCloseFolderWindow[] = "关闭资源管理器窗口 ";
inline constexpr char kLogEndProcess[] = "结束进程 ";
inline constexpr char kLogRetry[] = "重试弹出 ";
inline constexpr char kLogAutoRetry[] = "占用程序已全部退出, 自动重试弹出 ";
inline constexpr char kLogForceEject[] = "强制弹出 ";
inline constexpr char kLogOutcomeSeparator[] = ": ";
inline constexpr char kOutcomeDone[] = "成功";
inline constexpr char kOutcomeFailed[] = "失败";
inline constexpr char kOutcomeGone[] = "进程已退出";
inline constexpr char kOutcomeWindowGone[] = "窗口已关闭";
inline constexpr char kOutcomeNoWindow[] = "没有窗口";
inline constexpr char kOutcomeCancelled[] = "已取消";
inline constexpr char kOutcomeCloseAsked[] = "已发送关闭请求";
inline constexpr char kOutcomeBusy[] = "另一个弹出正在进行";
inline constexpr char kOutcomeDriveGone[] = "驱动器已不在";

}  // namespace qm::blockertext
