#pragma once
// Services by name with their current state; start and stop move the state
// the way a well-behaved service would.
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fakes/fake_support.h"
#include "platform/service_manager.h"

namespace qm {

namespace servicestate {
inline constexpr int kStopped = 1;
inline constexpr int kStartPending = 2;
inline constexpr int kStopPending = 3;
inline constexpr int kRunning = 4;
inline constexpr int kPaused = 7;
}  // namespace servicestate

class FakeServiceManager : public ServiceManager {
  public:
    std::optional<int> currentState(const std::string& machine,
                                    const std::string& service) override;
    bool start(const std::string& machine, const std::string& service) override;
    bool stop(const std::string& machine, const std::string& service) override;
    std::optional<int> startType(const std::string& machine, const std::string& service) override;
    bool setStartType(const std::string& machine, const std::string& service,
                      int startType) override;

    struct Service {
        int state = servicestate::kStopped;
        // The manager's own record; the registry's "Start" value is another
        // thing, which the manager reads only when the system starts.
        int startType = 3;
        bool canOpen = true;  // false: it cannot be opened at all
    };
    std::map<std::string, Service, LessNoCase> services;
    // False: a standard user, who may read a service's state but neither
    // start nor stop it.
    bool administrator = true;
    // Machines whose manager cannot be reached; "" is this computer.
    std::set<std::string, LessNoCase> unreachableMachines;

    // Where start and stop leave the service; set a pending state to model
    // a slow one.
    int stateAfterStart = servicestate::kRunning;
    int stateAfterStop = servicestate::kStopped;

    FailSwitch failOpenManager, failQuery, failStart, failStop, failQueryConfig, failChangeConfig;

    struct Call {
        std::string operation;  // "query", "start", "stop", "config" or "change"
        std::string machine;
        std::string service;
        bool succeeded;
    };
    std::vector<Call> calls;
    [[nodiscard]] int countCalls(const std::string& operation) const;

  private:
    // The service when both the manager and the service open.
    Service* open(const std::string& machine, const std::string& service);
};

}  // namespace qm
