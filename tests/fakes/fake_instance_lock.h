#pragma once
// Named locks in a table that several FakeInstanceLock objects may share,
// each object standing for one process. A lock is freed when its process
// (the object) ends.
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fakes/fake_support.h"
#include "platform/instance_lock.h"

namespace qm {

using HeldLockNames = std::set<std::string>;

class FakeInstanceLock : public InstanceLock {
  public:
    FakeInstanceLock() : held_(ownHeld_) {}
    // `user` keeps the locks of different users apart, as the real lock does.
    explicit FakeInstanceLock(HeldLockNames& held, std::string user = "user")
        : held_(held), user_(std::move(user)) {}
    ~FakeInstanceLock() override;

    bool acquire(const std::string& name) override;

    std::vector<std::string> attempts;  // names asked for, in order
    FailSwitch failAcquire;

  private:
    HeldLockNames ownHeld_;
    HeldLockNames& held_;
    std::string user_ = "user";
    std::vector<std::string> mine_;
};

}  // namespace qm
