#include "platform/mci_win32.h"

#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include "platform/system_library_win32.h"

namespace qm {
namespace {

// WinMM is no Known DLL: looked up in the system folder on the first command.
decltype(&::mciSendStringA) mciSend() {
    static const auto send = SystemFunction<decltype(&::mciSendStringA)>(
        LoadSystemLibrary(L"winmm.dll"), "mciSendStringA");
    return send;
}

}  // namespace

unsigned long MciWin32::sendString(const std::string& command) {
    const auto send = mciSend();
    if (send == nullptr) return MCIERR_CANNOT_LOAD_DRIVER;
    return send(codePage_.toAnsi(command).c_str(), nullptr, 0, nullptr);
}

}  // namespace qm
