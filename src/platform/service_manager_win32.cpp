#include "platform/service_manager_win32.h"

#include <windows.h>

#include <vector>

#include "platform/handles_win32.h"

namespace qm {
namespace {

// Each call asks for the rights it needs and no more: a standard user may
// connect and read a service's state and configuration, and only an
// administrator may start, stop or configure it.
constexpr DWORD kManagerConnect = 0x0001;       // SC_MANAGER_CONNECT
constexpr DWORD kServiceQueryConfig = 0x0001;   // SERVICE_QUERY_CONFIG
constexpr DWORD kServiceChangeConfig = 0x0002;  // SERVICE_CHANGE_CONFIG
constexpr DWORD kServiceQueryStatus = 0x0004;   // SERVICE_QUERY_STATUS
constexpr DWORD kServiceStart = 0x0010;         // SERVICE_START
constexpr DWORD kServiceStop = 0x0020;          // SERVICE_STOP

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

std::optional<int> ServiceManagerWin32::startType(const std::string& machine,
                                                  const std::string& service) {
    ServiceAccess open = openService(codePage_, machine, service, kServiceQueryConfig);
    if (!open.service) return std::nullopt;
    DWORD needed = 0;
    QueryServiceConfigA(open.service.get(), nullptr, 0, &needed);
    if (needed < sizeof(QUERY_SERVICE_CONFIGA)) return std::nullopt;
    // Whole pointers, so that the record is aligned as the system writes it.
    std::vector<ULONG_PTR> buffer((needed + sizeof(ULONG_PTR) - 1) / sizeof(ULONG_PTR));
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    if (!QueryServiceConfigA(open.service.get(), config,
                             static_cast<DWORD>(buffer.size() * sizeof(ULONG_PTR)), &needed)) {
        return std::nullopt;
    }
    return static_cast<int>(config->dwStartType);
}

bool ServiceManagerWin32::setStartType(const std::string& machine, const std::string& service,
                                       int startType) {
    ServiceAccess open = openService(codePage_, machine, service, kServiceChangeConfig);
    return open.service &&
           ChangeServiceConfigA(open.service.get(), SERVICE_NO_CHANGE,
                                static_cast<DWORD>(startType), SERVICE_NO_CHANGE, nullptr, nullptr,
                                nullptr, nullptr, nullptr, nullptr, nullptr) != FALSE;
}

}  // namespace qm
