#pragma once
// One running tray program per logged-on user.
#include <string>

#include "platform/non_copyable.h"

namespace qm {

class InstanceLock : NonCopyable {
public:
    virtual ~InstanceLock() = default;
    // Takes the named lock for the life of the process; false when another
    // process of the same user already holds it.
    virtual bool acquire(const std::string& name) = 0;
};

}  // namespace qm
