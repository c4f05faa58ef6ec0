#pragma once
// Drives that answer from a FakeFileSystem and a FakeStorage when their
// answer is taken: at once, after a number of takes (a slow drive), or only
// when the test says so (a hung one). A question its asker left answers
// late, through the report the program asked for.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "platform/code_page.h"
#include "platform/drive_probe.h"
#include "platform/file_system.h"
#include "platform/storage.h"

namespace qm {

class FakeDriveProbe : public DriveProbe {
  public:
    FakeDriveProbe(FileSystem& files, Storage& storage, CodePage& codePage)
        : files_(files), storage_(storage), codePage_(codePage) {}

    bool ask(char letter) override;
    DriveAnswer take(char letter) override;
    DriveAnswer leave(char letter) override;
    void reportLateAnswersTo(WindowId window, std::uint32_t message) override;

    // The drive answers its open question now, hung or not; a question its
    // asker left is reported late.
    void finish(char letter);

    // By upper-case letter: drives that never answer until finished, and
    // drives that answer only at the n-th take after a question.
    std::set<char> hung;
    std::map<char, int> takesBeforeAnswer;
    // Every question started, in order.
    std::vector<char> asked;
    // Late answers reported, in order, and where they were to go.
    std::vector<char> late;
    WindowId lateWindow = 0;
    std::uint32_t lateMessage = 0;
    // Called at each late report, e.g. to post the message to the program.
    std::function<void(std::uint32_t message, char letter)> onLate;

  private:
    struct Question {
        int takesToGo = 0;
        bool left = false;
        std::optional<DriveAnswer> answer;  // finished, not taken yet
    };
    DriveAnswer answerOf(char letter);

    FileSystem& files_;
    Storage& storage_;
    CodePage& codePage_;
    std::map<char, Question> open_;
};

}  // namespace qm
