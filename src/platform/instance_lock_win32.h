#pragma once
#include <vector>

#include "platform/handles_win32.h"
#include "platform/instance_lock.h"

namespace qm {

// A named mutex in the session's namespace, named after the lock and the
// user, held until the process ends.
class InstanceLockWin32 final : public InstanceLock {
  public:
    bool acquire(const std::string& name) override;

    // The object name used for a lock name and a user name, bytes outside
    // [A-Za-z0-9] written as "_XX" so that different names stay different.
    static std::string mutexName(const std::string& name, const std::string& user);

  private:
    std::vector<UniqueKernelHandle> held_;
};

}  // namespace qm
