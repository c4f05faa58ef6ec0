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
    // service cannot be opened to read its state or queried. Starting and
    // stopping take rights a standard user does not have.
    virtual std::optional<int> currentState(const std::string& machine,
                                            const std::string& service) = 0;
    virtual bool start(const std::string& machine, const std::string& service) = 0;
    virtual bool stop(const std::string& machine, const std::string& service) = 0;
    // The start type in the manager's own record (2 automatic, 3 on demand,
    // 4 disabled), which is what it acts on until the next boot; empty when
    // it cannot be read.
    virtual std::optional<int> startType(const std::string& machine,
                                         const std::string& service) = 0;
    // Changes that record (the manager writes the registry itself); takes
    // an administrator.
    virtual bool setStartType(const std::string& machine, const std::string& service,
                              int startType) = 0;
};

}  // namespace qm
