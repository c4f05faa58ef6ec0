#include "platform/drive_probe_win32.h"

#include <windows.h>

#include <atomic>

#include "platform/code_page_win32.h"
#include "platform/file_system_win32.h"

namespace qm {

// Shared by the probe and the work item; the answer is written before
// `answered` is set and read only after it is seen set.
struct DriveQuestion {
    char letter = 0;
    DWORD wakeThread = 0;
    std::optional<DriveProperties> properties;
    std::atomic<bool> answered{false};

    void answer() {
        CodePageWin32 codePage;
        FileSystemWin32 files(codePage);
        properties = files.driveProperties(letter);
        answered.store(true);
    }
};

namespace {

DWORD WINAPI answerQuestion(void* parameter) {
    // The work item's own reference, handed over when it was queued.
    const std::unique_ptr<std::shared_ptr<DriveQuestion>> own(
        static_cast<std::shared_ptr<DriveQuestion>*>(parameter));
    (*own)->answer();
    PostThreadMessageA((*own)->wakeThread, WM_NULL, 0, 0);
    return 0;
}

int indexOf(char letter) {
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    return letter >= 'A' && letter <= 'Z' ? letter - 'A' : -1;
}

}  // namespace

DriveProbeWin32::DriveProbeWin32() : wakeThread_(GetCurrentThreadId()) {}

bool DriveProbeWin32::ask(char letter) {
    const int index = indexOf(letter);
    if (index < 0) return false;
    std::shared_ptr<DriveQuestion>& slot = questions_[static_cast<std::size_t>(index)];
    if (slot && !slot->answered.load()) return false;
    auto question = std::make_shared<DriveQuestion>();
    question->letter = static_cast<char>('A' + index);
    question->wakeThread = wakeThread_;
    auto reference = std::make_unique<std::shared_ptr<DriveQuestion>>(question);
    if (QueueUserWorkItem(answerQuestion, reference.get(), WT_EXECUTELONGFUNCTION)) {
        reference.release();
    } else {
        // Without a pool the drive is asked the way it always was.
        question->answer();
    }
    slot = std::move(question);
    return true;
}

DriveAnswer DriveProbeWin32::take(char letter) {
    const int index = indexOf(letter);
    if (index < 0) return {};
    std::shared_ptr<DriveQuestion>& slot = questions_[static_cast<std::size_t>(index)];
    if (!slot || !slot->answered.load()) return {};
    DriveAnswer answer{true, std::move(slot->properties)};
    slot.reset();
    return answer;
}

}  // namespace qm
