#include "fakes/fake_instance_lock.h"

namespace qm {

FakeInstanceLock::~FakeInstanceLock() {
    for (const std::string& entry : mine_) held_.erase(entry);
}

bool FakeInstanceLock::acquire(const std::string& name) {
    attempts.push_back(name);
    if (failAcquire.next()) return false;
    // Object names are case-sensitive; asking twice in one process finds the
    // lock taken, as a second create of the same named object does.
    const std::string entry = user_ + '\n' + name;
    if (!held_.insert(entry).second) return false;
    mine_.push_back(entry);
    return true;
}

}  // namespace qm
