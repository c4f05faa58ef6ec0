// The installer in Simplified Chinese.
#include "texts/setup_texts.h"

#include <array>

#include "texts/text_table.h"

namespace qm {
namespace {

using S = SetupText;
constexpr std::array<TextEntry<SetupText>, static_cast<std::size_t>(S::Count)> kChinese{{
    {S::Caption, "Quillmoor安装程序向导"},
    {S::Label1, "安装目录"},
    {S::Label2, "安装目录指明本程序将被复制到您电脑硬盘中的哪个文件夹。"},
    {S::Label3, "指定一个安装目录。"},
    {S::Text1Design, "C:\\Program Files\\"},
    {S::ChangeFolder, "更改目录"},
    {S::HomePageLink, "官方网站  {1}"},
    {S::Text2Design, "ReadMe\r\n"},
    {S::Cancel, "取消(&C)"},
    {S::Start, "开始安装(&S)"},
    {S::BrowseTitle, "请选择安装目录"},
    {S::ConfirmStart, "确定开始安装吗?"},
    {S::ChinesePath, "不能安装到含有中文字符的路径下,请重新选择安装目录！"},
    {S::DirError, "安装目录错误"},
    {S::Starting, "开始安装"},
    {S::Complete, "安装完成"},
    {S::Thanks, "安装完成\r\n\r\n感谢您使用Quillmoor"},
    {S::CreatingFolder, "创建文件夹...{1}"},
    {S::CreatingFile, "创建文件...{1}"},
    {S::WaitTray, "...等待 Quillmoor.exe 结束"},
    {S::WaitUpdater, "...等待 Quillmoor_Freshwell.exe 结束"},
    {S::CancelInstall, "安装正在进行中,要结束安装吗?"},
    {S::LeaveWizard, "退出安装向导?"},
    {S::UpdaterStuck, "无法结束 Quillmoor_Freshwell.exe,安装已停止。请关闭该程序后重新安装。"},
    {S::TrayStuck, "无法结束 Quillmoor.exe,安装已停止。请关闭该程序后重新安装。"},
    {S::OtherUserRuns,
     "另一个用户正在运行 Quillmoor,安装已停止。请该用户退出 Quillmoor 或注销后,再重新安装。"},
    {S::MissingFile, "安装程序不完整,安装已停止。缺少文件: {1}"},
    {S::CopyFailed, "安装已停止,没有完成。无法复制文件 {1}: {2}"},
    {S::StartYourself, "安装程序无法以您的身份启动 Quillmoor,请以普通方式(例如双击)启动: {1}"},
    {S::SilentUnknownArgument, "未知的参数: {1}"},
    {S::SilentNoFolder, "/D= 后面缺少安装目录"},
    {S::SilentUsage,
     "用法: setup.exe /S [/D=安装目录]\r\n"
     "      setup.exe /uninstall [/S] [/purge]\r\n"
     "  /S          不显示窗口,安装到提供的目录(或 /D= 指定的目录)\r\n"
     "  /D=目录     安装目录,写在命令行的最后,含空格也不需要引号\r\n"
     "  /uninstall  卸载 setup.exe 所在目录中的 Quillmoor(加 /S 不询问)\r\n"
     "  /purge      卸载时同时删除设置和日志\r\n"
     "安装退出码: 0 完成; 1 用法错误; 2 安装目录不可用; 3 无法结束正在运行的程序; "
     "4 文件缺失或无法复制; 5 已安装,但未能登记到“程序和功能”\r\n"
     "卸载退出码: 0 完成; 1 用法错误; 2 这里没有安装 Quillmoor; 3 无法结束正在运行的程序; "
     "4 有项目未能删除; 5 已取消"},
    {S::SilentInstalledInto, "安装完成: {1}"},
    {S::EntryFailed,
     "无法把 Quillmoor 登记到“程序和功能”中。需要卸载时,请以管理员身份运行: {1}"},
    {S::UninstallCaption, "卸载 Quillmoor"},
    {S::UninstallQuestion, "确定要从这台电脑上删除 Quillmoor 吗?\r\n安装目录: {1}"},
    {S::UninstallDrivesNote,
     "已免疫的驱动器不受影响: 驱动器上的免疫文件夹(autorun.inf)属于您,卸载不会删除。"
     "如需删除,请在卸载前用托盘菜单中各驱动器的“免疫自动运行(autorun.inf)”逐个取消。"},
    {S::UninstallAutoPlayNote,
     "Quillmoor 关闭了系统的“自动播放”服务(Shell Hardware Detection),卸载后它仍保持关闭。"},
    {S::UninstallPurge, "删除设置和日志"},
    {S::UninstallButton, "卸载(&U)"},
    {S::UninstallRemoving, "删除...{1}"},
    {S::UninstallDone, "Quillmoor 已卸载: {1}"},
    {S::UninstallKeptSettings, "设置和日志保留在 {1}"},
    {S::UninstallFolderKept, "安装目录中还有不属于 Quillmoor 的文件,目录已保留: {1}"},
    {S::UninstallAutoPlayHowTo,
     "系统的“自动播放”服务(Shell Hardware Detection)是 Quillmoor 关闭的,现在仍然关闭。"
     "如需恢复: 打开“服务”(services.msc),把 Shell Hardware Detection 的启动类型设为“自动”,"
     "然后启动它。"},
    {S::UninstallIncomplete, "卸载没有完成,以下项目未能删除:"},
    {S::UninstallRemainItem, "{1}: {2}"},
    {S::UninstallAtRestart, "将在重新启动电脑时删除"},
    {S::UninstallCannotRemove, "无法删除"},
    {S::UninstallKeptForRetry, "已保留,以便重新卸载"},
    {S::UninstallRunValueItem, "开机自启动项 Quillmoor"},
    {S::UninstallEntryItem, "“程序和功能”中的 Quillmoor"},
    {S::UninstallNothingHere, "这里没有安装 Quillmoor,没有删除任何文件: {1}"},
    {S::UninstallTrayStuck,
     "无法结束 Quillmoor.exe,卸载已停止,没有删除任何文件。请关闭该程序后重新卸载。"},
    {S::UninstallUpdaterStuck,
     "无法结束 Quillmoor_Freshwell.exe,卸载已停止,没有删除任何文件。请关闭该程序后重新卸载。"},
    {S::UninstallOtherUserRuns,
     "另一个用户正在运行 Quillmoor,卸载已停止,没有删除任何文件。"
     "请该用户退出 Quillmoor 或注销后,再重新卸载。"},
    {S::PurgeNeedsUninstall, "/purge 只能与 /uninstall 一起使用"},
    {S::UninstallTakesNoFolder, "/uninstall 卸载 setup.exe 所在的目录,不接受 /D="},
}};
static_assert(IsCompleteTable(kChinese), "every installer text once, in the order of its name");

}  // namespace

std::string Text(SetupText id) {
    const auto i = static_cast<std::size_t>(id);
    return i < kChinese.size() ? std::string(kChinese[i].text) : std::string();
}

std::string Text(SetupText id, std::initializer_list<std::string_view> parts) {
    return FillIn(Text(id), parts);
}

}  // namespace qm
