#pragma once
// The words of "eject all", its hotkey and the command line, as the user
// reads them in the menu, notices, log.txt and the console.

namespace qm::cmdtext {

// The tray menu's entry, and what "eject all" says when it is done:
// kEjectedCount N kEjectedCountTail, then, when some stayed, kNotEjected
// and their captions joined by kListJoin.
inline constexpr char kEjectAllMenu[] = "全部安全弹出(&A)";
inline constexpr char kEjectedCount[] = "已安全弹出 ";
inline constexpr char kEjectedCountTail[] = " 个设备";
inline constexpr char kNotEjected[] = ",未能弹出: ";
inline constexpr char kListJoin[] = ", ";

// The hotkey of Setting.ini: followed by the text as written there.
inline constexpr char kHotkeyMalformed[] = "热键设置无效,没有启用: ";
// Followed by the hotkey.
inline constexpr char kHotkeyTaken[] = "热键无法使用(可能已被其它程序占用): ";

// The command line.
inline constexpr char kUsage[] =
    "用法: Quillmoor.exe /命令 [参数]\r\n"
    "  /list               列出 C: 到 Z: 的驱动器: 盘符、总线、类型、卷标、容量、是否免疫\r\n"
    "  /eject X:           安全弹出驱动器 X:\r\n"
    "  /eject /all         安全弹出全部可移动设备\r\n"
    "  /who-locks X:       列出占用驱动器 X: 的程序\r\n"
    "  /immunise X:        免疫驱动器 X: (建立 autorun.inf 免疫文件夹)\r\n"
    "  /unimmunise X:      删除驱动器 X: 中的免疫文件夹\r\n"
    "  /cd-open X:         弹出光驱 X: 的托盘\r\n"
    "  /cd-close X:        关闭光驱 X: 的托盘\r\n"
    "  /?                  显示本说明\r\n"
    "退出码: 0 完成; 1 用法错误; 2 没有该驱动器或驱动器类型不符; 3 驱动器正被占用; 4 其它失败";
// Followed by the argument.
inline constexpr char kUnknownCommand[] = "未知的命令: ";
inline constexpr char kBadDrive[] = "不是驱动器: ";
inline constexpr char kExtraArgument[] = "多余的参数: ";
// Followed by the command.
inline constexpr char kMissingDrive[] = "缺少驱动器参数: ";

// Followed by the drive name ("G:").
inline constexpr char kNoSuchDrive[] = "没有驱动器 ";
inline constexpr char kNotEjectable[] = "不是可以安全弹出的设备: ";
inline constexpr char kNotCdDrive[] = "不是光驱: ";
inline constexpr char kNotImmunisable[] = "光驱和网络驱动器不能免疫: ";
inline constexpr char kNoAnswer[] = "驱动器没有响应: ";
inline constexpr char kNoHolders[] = "没有找到占用它的程序: ";
// Followed by the root ("G:\").
inline constexpr char kAlreadyImmunised[] = "已经免疫: ";
inline constexpr char kNotImmunised[] = "没有免疫文件夹: ";

// A refused eject: the programs found holding the drive, one a line.
inline constexpr char kHoldersHeader[] = "占用程序:";
// Why an eject failed when nothing holds the drive.
inline constexpr char kNoDevice[] = "找不到可以弹出的设备";
inline constexpr char kVetoed[] = "系统拒绝弹出: ";
inline constexpr char kNothingToEject[] = "没有可以安全弹出的设备";

// The CD door; followed by the drive name.
inline constexpr char kDoorOpened[] = "已弹出光驱托盘: ";
inline constexpr char kDoorClosed[] = "已关闭光驱托盘: ";
inline constexpr char kDoorFailed[] = "光驱托盘没有响应 (MCI 错误 ";

// /list: kind words by the file system's drive type, and the state words.
inline constexpr char kKindUnknown[] = "未知";
inline constexpr char kKindRemovable[] = "可移动磁盘";
inline constexpr char kKindFixed[] = "本地磁盘";
inline constexpr char kKindNetwork[] = "网络驱动器";
inline constexpr char kKindCdRom[] = "光驱";
inline constexpr char kKindRamDisk[] = "RAM 磁盘";
inline constexpr char kNoMedium[] = "无介质";
inline constexpr char kNotAnswering[] = "未响应";
inline constexpr char kImmunisedWord[] = "已免疫";
inline constexpr char kNotImmunisedWord[] = "未免疫";

}  // namespace qm::cmdtext
