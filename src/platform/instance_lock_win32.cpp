#include "platform/instance_lock_win32.h"

#include <windows.h>

namespace qm {
namespace {

std::string escaped(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
            (byte >= '0' && byte <= '9')) {
            out += c;
        } else {
            out += '_';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

std::string userName() {
    char buffer[257] = {};  // the longest user name and its NUL
    DWORD size = sizeof buffer;
    if (!GetUserNameA(buffer, &size)) return {};
    // The system takes user names without case; so does the lock.
    std::string name(buffer);
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

}  // namespace

std::string InstanceLockWin32::mutexName(const std::string& name, const std::string& user) {
    return "Local\\" + escaped(name) + "_" + escaped(user);
}

bool InstanceLockWin32::acquire(const std::string& name) {
    const std::string objectName = mutexName(name, userName());
    UniqueKernelHandle mutex(CreateMutexA(nullptr, FALSE, objectName.c_str()));
    if (!mutex) {
        // Refused access: the object exists, made by an instance running with
        // other rights (elevated). Any other failure should not keep the user
        // from running the program.
        return GetLastError() != ERROR_ACCESS_DENIED;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) return false;
    held_.push_back(std::move(mutex));
    return true;
}

}  // namespace qm
