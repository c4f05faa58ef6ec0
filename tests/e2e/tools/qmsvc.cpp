// qmsvc: a do-nothing Windows service. The end-to-end tests register it under
// the name of the system's hardware detection service, which a fresh Wine
// prefix lacks, so that the program's service switching has a real target.

#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE gStatusHandle = nullptr;
HANDLE gStopEvent = nullptr;
SERVICE_STATUS gStatus{};

void report(DWORD state, DWORD waitHint = 0) {
    gStatus.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    gStatus.dwCurrentState = state;
    gStatus.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    gStatus.dwWin32ExitCode = NO_ERROR;
    gStatus.dwWaitHint = waitHint;
    if (state == SERVICE_RUNNING || state == SERVICE_STOPPED) {
        gStatus.dwCheckPoint = 0;
    } else {
        ++gStatus.dwCheckPoint;
    }
    SetServiceStatus(gStatusHandle, &gStatus);
}

DWORD WINAPI control(DWORD code, DWORD, LPVOID, LPVOID) {
    switch (code) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        report(SERVICE_STOP_PENDING, 2000);
        SetEvent(gStopEvent);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        SetServiceStatus(gStatusHandle, &gStatus);
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI serviceMain(DWORD, LPWSTR* argv) {
    gStatusHandle = RegisterServiceCtrlHandlerExW(argv != nullptr && argv[0] != nullptr ? argv[0] : L"", control,
                                                  nullptr);
    if (gStatusHandle == nullptr) return;
    report(SERVICE_START_PENDING, 2000);
    gStopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (gStopEvent == nullptr) {
        report(SERVICE_STOPPED);
        return;
    }
    report(SERVICE_RUNNING);
    WaitForSingleObject(gStopEvent, INFINITE);
    CloseHandle(gStopEvent);
    report(SERVICE_STOPPED);
}

}  // namespace

int main() {
    // The name is ignored for a service of its own process; any text will do.
    wchar_t name[] = L"QmDummyService";
    SERVICE_TABLE_ENTRYW table[] = {{name, serviceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
