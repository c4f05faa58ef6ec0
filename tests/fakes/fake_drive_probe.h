#pragma once
// Drives that answer from a FakeFileSystem when their answer is taken, at
// once, after a number of takes (a slow drive), or never (a hung one).
#include <map>
#include <set>
#include <vector>

#include "platform/drive_probe.h"
#include "platform/file_system.h"

namespace qm {

class FakeDriveProbe : public DriveProbe {
  public:
    explicit FakeDriveProbe(FileSystem& files) : files_(files) {}

    bool ask(char letter) override;
    DriveAnswer take(char letter) override;

    // By upper-case letter: drives that never answer, and drives that
    // answer only at the n-th take after a question.
    std::set<char> hung;
    std::map<char, int> takesBeforeAnswer;
    // Every question started, in order.
    std::vector<char> asked;

  private:
    FileSystem& files_;
    std::map<char, int> open_;  // questions not answered yet: takes still to go
};

}  // namespace qm
