#pragma once
// A Windows service's state and start type.
#include <string>

#include "platform/code_page.h"
#include "platform/registry.h"
#include "platform/service_manager.h"

namespace qm {

inline constexpr int kServiceStartAutomatic = 2;
inline constexpr int kServiceStartDisabled = 4;

class Services {
public:
    Services(ServiceManager& manager, Registry& registry, CodePage& codePage)
        : manager_(manager), registry_(registry), codePage_(codePage) {}

    // The state as a word; empty when the service cannot be queried.
    std::string GetServiceStateText(const std::string& machine, const std::string& service);
    // The "Start" value of the service's key; 0 when unknown.
    int GetServiceStartType(const std::string& service);
    // Written to both control sets, ControlSet001 first.
    void SetServiceStartType(const std::string& service, int startType);
    void StartServiceByName(const std::string& machine, const std::string& service);
    void StopServiceByName(const std::string& machine, const std::string& service);

    static std::string StateWord(int currentState);

private:
    ServiceManager& manager_;
    Registry& registry_;
    CodePage& codePage_;
};

}  // namespace qm
