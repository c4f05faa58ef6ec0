#pragma once
// The service control manager. An empty machine name is the local computer.
#include <optional>
#include <string>

#include "platform/non_copyable.h"

namespace qm {

class ServiceManager : NonCopyable {
public:
    virtual ~ServiceManager() = default;
    // The service's current state (1 stopped ... 7 paused); empty when the
    // manager or the service cannot be opened with full access or queried.
    virtual std::optional<int> currentState(const std::string& machine,
                                            const std::string& service) = 0;
    virtual bool start(const std::string& machine, const std::string& service) = 0;
    virtual bool stop(const std::string& machine, const std::string& service) = 0;
};

}  // namespace qm
