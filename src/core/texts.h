#pragma once
// The tray program's own words, as the user reads them in log.txt and notices.

namespace qm::text {

inline constexpr char kAppTitle[] = "Quillmoor";
inline constexpr char kTrayTipSecondLine[] = "安全弹出硬件";
inline constexpr char kLogTrayBuilt[] = "建立程序托盘";
inline constexpr char kLogStarted[] = "===============程序启动";
inline constexpr char kLogVersionPrefix[] = "当前版本: v";
inline constexpr char kLogQuit[] = "===============程序退出";
inline constexpr char kLogDuplicate[] = "程序重复运行，被中止";
inline constexpr char kLogInstallerQuit[] = "接收到安装程序要求的退出消息";
inline constexpr char kTaskbarCreated[] = "TaskBarCreated";
inline constexpr char kDriveArrived[] = " 已连接";
inline constexpr char kDriveNoMedium[] = " 中没有介质";
inline constexpr char kDriveRemoved[] = " 已被断开连接";
inline constexpr char kAskImmunise[] = "是否免疫 ";

}  // namespace qm::text
