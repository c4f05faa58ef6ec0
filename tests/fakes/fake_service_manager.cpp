#include "fakes/fake_service_manager.h"

#include <algorithm>

namespace qm {

FakeServiceManager::Service* FakeServiceManager::open(const std::string& machine,
                                                      const std::string& service) {
    if (failOpenManager.next() || unreachableMachines.count(machine) > 0) return nullptr;
    auto it = services.find(service);
    if (it == services.end() || !it->second.canOpen) return nullptr;
    return &it->second;
}

std::optional<int> FakeServiceManager::currentState(const std::string& machine,
                                                    const std::string& service) {
    Service* s = open(machine, service);
    const bool ok = s != nullptr && !failQuery.next();
    calls.push_back({"query", machine, service, ok});
    if (!ok) return std::nullopt;
    return s->state;
}

bool FakeServiceManager::start(const std::string& machine, const std::string& service) {
    Service* s = open(machine, service);
    // Starting a service that is not stopped is refused ("already running").
    const bool ok =
        s != nullptr && !failStart.next() && administrator && s->state == servicestate::kStopped;
    calls.push_back({"start", machine, service, ok});
    if (ok) s->state = stateAfterStart;
    return ok;
}

bool FakeServiceManager::stop(const std::string& machine, const std::string& service) {
    Service* s = open(machine, service);
    // A stopped service cannot take the stop control ("not active").
    const bool ok =
        s != nullptr && !failStop.next() && administrator && s->state != servicestate::kStopped;
    calls.push_back({"stop", machine, service, ok});
    if (ok) s->state = stateAfterStop;
    return ok;
}

std::optional<int> FakeServiceManager::startType(const std::string& machine,
                                                 const std::string& service) {
    Service* s = open(machine, service);
    const bool ok = s != nullptr && !failQueryConfig.next();
    calls.push_back({"config", machine, service, ok});
    if (!ok) return std::nullopt;
    return s->startType;
}

bool FakeServiceManager::setStartType(const std::string& machine, const std::string& service,
                                      int startType) {
    Service* s = open(machine, service);
    const bool ok = s != nullptr && !failChangeConfig.next() && administrator;
    calls.push_back({"change", machine, service, ok});
    if (ok) s->startType = startType;
    return ok;
}

int FakeServiceManager::countCalls(const std::string& operation) const {
    return static_cast<int>(std::count_if(calls.begin(), calls.end(),
                                          [&](const Call& c) { return c.operation == operation; }));
}

}  // namespace qm
