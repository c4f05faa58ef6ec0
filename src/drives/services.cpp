#include "drives/services.h"


namespace qm {

std::string Services::StateWord(int currentState) {
    switch (currentState) {
        case 1: return servicewords::kStopped;
        case 2: return servicewords::kStartPending;
        case 3: return servicewords::kStopPending;
        case 4: return servicewords::kRunning;
        case 5: return servicewords::kContinuePending;
        case 6:
        case 7: return servicewords::kPaused;
        default: return {};
    }
}

std::string Services::GetServiceStateText(const std::string& machine, const std::string& service) {
    const auto state = manager_.currentState(machine, service);
    return state ? StateWord(*state) : std::string();
}

int Services::GetServiceStartType(const std::string& service) {
    if (service.empty()) return 0;
    return manager_.startType("", service).value_or(0);
}

bool Services::SetServiceStartType(const std::string& service, int startType) {
    return !service.empty() && manager_.setStartType("", service, startType);
}

void Services::StartServiceByName(const std::string& machine, const std::string& service) {
    manager_.start(machine, service);
}

void Services::StopServiceByName(const std::string& machine, const std::string& service) {
    manager_.stop(machine, service);
}

}  // namespace qm
