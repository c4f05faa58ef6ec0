#include "drives/services.h"

#include "drives/texts.h"
#include "settings/cls_registry.h"

namespace qm {

std::string Services::StateWord(int currentState) {
    switch (currentState) {
        case 1: return text::kStateStopped;
        case 2: return text::kStateStartPending;
        case 3: return text::kStateStopPending;
        case 4: return text::kStateRunning;
        case 5: return text::kStateContinuePending;
        case 6:
        case 7: return text::kStatePaused;
        default: return {};
    }
}

std::string Services::GetServiceStateText(const std::string& machine, const std::string& service) {
    const auto state = manager_.currentState(machine, service);
    return state ? StateWord(*state) : std::string();
}

int Services::GetServiceStartType(const std::string& service) {
    if (service.empty()) return 0;
    clsRegistry reg(registry_, codePage_);
    const RegValue v = reg.GetRegistryValue(
        RegRoot::LocalMachine, "System\\currentcontrolset\\services\\" + service, "Start");
    return static_cast<int>(RegValueNumber(v));
}

void Services::SetServiceStartType(const std::string& service, int startType) {
    for (const char* controlSet : {"SYSTEM\\ControlSet001\\Services\\",
                                   "SYSTEM\\CurrentControlSet\\Services\\"}) {
        clsRegistry reg(registry_, codePage_);
        reg.SetRegistryValue(RegRoot::LocalMachine, controlSet + service, "Start",
                             static_cast<std::int32_t>(startType), 4, 0);
    }
}

void Services::StartServiceByName(const std::string& machine, const std::string& service) {
    manager_.start(machine, service);
}

void Services::StopServiceByName(const std::string& machine, const std::string& service) {
    manager_.stop(machine, service);
}

}  // namespace qm
