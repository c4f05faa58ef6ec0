#include "platform/service_manager_win32.h"

#include <windows.h>

#include "platform/handles_win32.h"

namespace qm {
namespace {

// Each call asks for the rights it needs and no more: a standard user may
// connect and read a service's state, and only an administrator may start
// or stop it.
constexpr DWORD kManagerConnect = 0x0001;      // SC_MANAGER_CONNECT
constexpr DWORD kServiceQueryStatus = 0x0004;  // SERVICE_QUERY_STATUS
constexpr DWORD kServiceStart = 0x0010;        // SERVICE_START
constexpr DWORD kServiceStop = 0x0020;         // SERVICE_STOP

// Both handles, closed in reverse order when the call is done.
struct ServiceAccess {
    UniqueServiceHandle manager;
    UniqueServiceHandle service;
};

ServiceAccess openService(CodePage& codePage, const std::string& machine,
                          const std::string& service, DWORD rights) {
    ServiceAccess open;
    const std::string aMachine = codePage.toAnsi(machine);
    open.manager.reset(OpenSCManagerA(aMachine.empty() ? nullptr : aMachine.c_str(),
                                      "ServicesActive", kManagerConnect));
    if (open.manager) {
        open.service.reset(
            OpenServiceA(open.manager.get(), codePage.toAnsi(service).c_str(), rights));
    }
    return open;
}

}  // namespace

std::optional<int> ServiceManagerWin32::currentState(const std::string& machine,
                                                     const std::string& service) {
    ServiceAccess open = openService(codePage_, machine, service, kServiceQueryStatus);
    if (!open.service) return std::nullopt;
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(open.service.get(), &status)) return std::nullopt;
    return static_cast<int>(status.dwCurrentState);
}

bool ServiceManagerWin32::start(const std::string& machine, const std::string& service) {
    ServiceAccess open = openService(codePage_, machine, service, kServiceStart);
    return open.service && StartServiceA(open.service.get(), 0, nullptr) != FALSE;
}

bool ServiceManagerWin32::stop(const std::string& machine, const std::string& service) {
    ServiceAccess open = openService(codePage_, machine, service, kServiceStop);
    SERVICE_STATUS status{};
    return open.service &&
           ControlService(open.service.get(), SERVICE_CONTROL_STOP, &status) != FALSE;
}

}  // namespace qm
