#pragma once
// The drive services' own words, as the user reads them in log.txt and in notices.

namespace qm::text {

inline constexpr char kLogChinesePath[] = "提示:请不要把本程序放到中文路径下运行";
inline constexpr char kNoticeChinesePath[] = "请不要把本程序放到中文路径下运行";
inline constexpr char kLogAutoPlayOff[] = "禁用 Shell Hardware Detection 服务";
inline constexpr char kLogAutoPlayOn[] = "启用 Shell Hardware Detection 服务";
inline constexpr char kLogAutoPlayOffFailed[] = "禁用 Shell Hardware Detection 服务失败";
inline constexpr char kLogAutoPlayOnFailed[] = "启用 Shell Hardware Detection 服务失败";
inline constexpr char kNeedsAdministrator[] = ": 需要管理员权限";
inline constexpr char kConsentRefused[] = ": 未获得管理员许可,设置没有改变";
inline constexpr char kLogAutoStartOn[] = "添加到开机自启动";
inline constexpr char kLogAutoStartOff[] = "取消开机自启动";
inline constexpr char kNoticeAutoPlayOff[] = "已禁用Shell Hardware Detection服务";
inline constexpr char kNoticeAutoPlayOn[] = "已启用Shell Hardware Detection服务";

// The programs that hold a drive an eject could not remove: the second line
// of the failure notice, the word after a shortened list, the log line's
// middle ("弹出 " + display name + this + every program).
inline constexpr char kNoticeBlockers[] = "占用程序: ";
inline constexpr char kBlockersMore[] = "等";
inline constexpr char kLogBlockersHeld[] = " 被占用: ";

// Service state words, by the state the service manager reports.
inline constexpr char kStateStopped[] = "已停止";
inline constexpr char kStateStartPending[] = "开始";
inline constexpr char kStateStopPending[] = "停止";
inline constexpr char kStateRunning[] = "已启动";
inline constexpr char kStateContinuePending[] = "继续";
inline constexpr char kStatePaused[] = "暂停";

// Bus words, by the bus type of a drive's storage descriptor.
inline constexpr char kBusUnknown[] = "未知";
inline constexpr char kBusScsi[] = "SCSI";
inline constexpr char kBusAtapi[] = "ATAPI";
inline constexpr char kBusAta[] = "ATA";
inline constexpr char kBus1394[] = "1394";
inline constexpr char kBusSsa[] = "SSA";
inline constexpr char kBusFibre[] = "Fibre";
inline constexpr char kBusUsb[] = "USB";
inline constexpr char kBusRaid[] = "RAID";
inline constexpr char kBusIscsi[] = "iSCSI";
inline constexpr char kBusSas[] = "SAS";
inline constexpr char kBusSata[] = "SATA";
inline constexpr char kBusSd[] = "SD";
inline constexpr char kBusMmc[] = "MMC";
inline constexpr char kBusVirtual[] = "Virtual";
inline constexpr char kBusFileBackedVirtual[] = "FileBackedVirtual";
inline constexpr char kBusSpaces[] = "Spaces";
inline constexpr char kBusNvme[] = "NVMe";
inline constexpr char kBusScm[] = "SCM";
inline constexpr char kBusUfs[] = "UFS";

}  // namespace qm::text
