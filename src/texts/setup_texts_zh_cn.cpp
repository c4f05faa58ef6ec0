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
     "  /S          不显示窗口,安装到提供的目录(或 /D= 指定的目录)\r\n"
     "  /D=目录     安装目录,写在命令行的最后,含空格也不需要引号\r\n"
     "退出码: 0 完成; 1 用法错误; 2 安装目录不可用; 3 无法结束正在运行的程序; 4 文件缺失或无法复制"},
    {S::SilentInstalledInto, "安装完成: {1}"},
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
