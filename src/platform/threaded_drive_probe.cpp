#include "platform/threaded_drive_probe.h"

#include <utility>

namespace qm {

VolumeQuestion::Delivery VolumeQuestion::answer(DriveAnswer answer, std::uint32_t now) {
    const std::lock_guard<std::mutex> locked(lock_);
    answer_ = std::move(answer);
    answer_.answered = true;
    answered_ = true;
    answeredAt_ = now;
    return left_ ? Delivery::Late : Delivery::Awaited;
}

std::optional<DriveAnswer> VolumeQuestion::take() {
    const std::lock_guard<std::mutex> locked(lock_);
    if (!answered_) return std::nullopt;
    return std::move(answer_);
}

std::optional<DriveAnswer> VolumeQuestion::leave() {
    const std::lock_guard<std::mutex> locked(lock_);
    if (!answered_) {
        left_ = true;
        return std::nullopt;
    }
    return std::move(answer_);
}

bool VolumeQuestion::answered() const {
    const std::lock_guard<std::mutex> locked(lock_);
    return answered_;
}

bool VolumeQuestion::freshAt(std::uint32_t now, std::uint32_t keepMs) const {
    const std::lock_guard<std::mutex> locked(lock_);
    return answered_ && now - answeredAt_ <= keepMs;
}

ThreadedDriveProbe::ThreadedDriveProbe(std::shared_ptr<ProbeWorkers> workers, DriveAsker asker,
                                       std::uint32_t keptAnswerMs)
    : workers_(std::move(workers)),
      asker_(std::make_shared<const DriveAsker>(std::move(asker))),
      keptAnswerMs_(keptAnswerMs) {}

std::shared_ptr<VolumeQuestion>* ThreadedDriveProbe::slotOf(char letter) {
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'Z') return nullptr;
    return &questions_[static_cast<std::size_t>(letter - 'A')];
}

bool ThreadedDriveProbe::ask(char letter) {
    std::shared_ptr<VolumeQuestion>* slot = slotOf(letter);
    if (slot == nullptr) return false;
    if (*slot) {
        if (!(*slot)->answered()) return false;
        // A drive slower than its asker's bound would otherwise be asked
        // afresh every time and never be seen ready.
        if ((*slot)->freshAt(workers_->now(), keptAnswerMs_)) return true;
    }
    auto question = std::make_shared<VolumeQuestion>();
    *slot = question;
    const char upper = static_cast<char>('A' + (slot - questions_.data()));
    // The work holds everything it touches: the probe may be gone by the
    // time a hung drive answers.
    const std::function<void()> work = [question, asker = asker_, workers = workers_, upper] {
        DriveAnswer answer;
        try {
            answer = (*asker)(upper);
        } catch (...) {
            // Out of memory for a name: an answer with nothing in it.
        }
        if (question->answer(std::move(answer), workers->now()) ==
            VolumeQuestion::Delivery::Awaited) {
            workers->wakeAsker();
        } else {
            workers->reportLate(upper);
        }
    };
    // Without a worker the drive is asked the way it always was.
    if (!workers_->run(work)) work();
    return true;
}

DriveAnswer ThreadedDriveProbe::take(char letter) {
    std::shared_ptr<VolumeQuestion>* slot = slotOf(letter);
    if (slot == nullptr || !*slot) return {};
    std::optional<DriveAnswer> answer = (*slot)->take();
    if (!answer) return {};
    slot->reset();
    return std::move(*answer);
}

DriveAnswer ThreadedDriveProbe::leave(char letter) {
    std::shared_ptr<VolumeQuestion>* slot = slotOf(letter);
    if (slot == nullptr || !*slot) return {};
    std::optional<DriveAnswer> answer = (*slot)->leave();
    if (!answer) return {};
    slot->reset();
    return std::move(*answer);
}

void ThreadedDriveProbe::reportLateAnswersTo(WindowId window, std::uint32_t message) {
    workers_->setLateTarget(window, message);
}

}  // namespace qm
