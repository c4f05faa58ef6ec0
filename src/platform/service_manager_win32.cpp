#include "platform/service_manager_win32.h"

#include <windows.h>

#include "platform/handles_win32.h"

namespace qm {
namespace {

constexpr DWORD kManagerAllAccess = 0xF003F;
constexpr DWORD kServiceAllAccess = 0xF01FF;

// Both handles, closed in reverse order when the call is done.
struct ServiceAccess {
    UniqueServiceHandle manager;
    UniqueServiceHandle service;
};

ServiceAccess openService(CodePage& codePage, const std::string& machine,
                          const std::string& service) {
    ServiceAccess open;
    const std::string aMachine = codePage.toAnsi(machine);
    open.manager.reset(OpenSCManagerA(aMachine.empty() ? nullptr : aMachine.c_str(),
                                      "ServicesActive", kManagerAllAccess));
    if (open.manager) {
        open.service.reset(
            OpenServiceA(open.manager.get(), codePage.toAnsi(service).c_str(), kServiceAllAccess));
    }
    return open;
}

}  // namespace

std::optional<int> ServiceManagerWin32::currentState(const std::string& machine,
                                                     const std::string& service) {
    ServiceAccess open = openService(codePage_, machine, service);
    if (!open.service) return std::nullopt;
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(open.service.get(), &status)) return std::nullopt;
    return static_cast<int>(status.dwCurrentState);
}

bool ServiceManagerWin32::start(const std::string& machine, const std::string& service) {
    ServiceAccess open = openService(codePage_, machine, service);
    return open.service && StartServiceA(open.service.get(), 0, nullptr) != FALSE;
}

bool ServiceManagerWin32::stop(const std::string& machine, const std::string& service) {
    ServiceAccess open = openService(codePage_, machine, service);
    SERVICE_STATUS status{};
    return open.service &&
           ControlService(open.service.get(), SERVICE_CONTROL_STOP, &status) != FALSE;
}

}  // namespace qm
