#pragma once
// The words of setup.exe's silent installation, printed where it was
// started from (the wizard's own texts are in setup_wizard.h).

namespace qm::silenttext {

// Followed by the argument.
inline constexpr char kUnknownArgument[] = "未知的参数: ";
inline constexpr char kNoFolder[] = "/D= 后面缺少安装目录";
inline constexpr char kUsage[] =
    "用法: setup.exe /S [/D=安装目录]\r\n"
    "  /S          不显示窗口,安装到提供的目录(或 /D= 指定的目录)\r\n"
    "  /D=目录     安装目录,写在命令行的最后,含空格也不需要引号\r\n"
    "退出码: 0 完成; 1 用法错误; 2 安装目录不可用; 3 无法结束正在运行的程序; 4 文件缺失或无法复制";
// Followed by the install folder.
inline constexpr char kInstalledInto[] = "安装完成: ";

}  // namespace qm::silenttext
