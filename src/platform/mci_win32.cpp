#include "platform/mci_win32.h"

#include <windows.h>

#include <mmsystem.h>

namespace qm {

unsigned long MciWin32::sendString(const std::string& command) {
    return mciSendStringA(codePage_.toAnsi(command).c_str(), nullptr, 0, nullptr);
}

}  // namespace qm
