#pragma once
// The drive probe's questions on worker threads, without the system: the
// workers and the ways a worker wakes the asker come through ProbeWorkers,
// so that the same code runs on the system's thread pool and under test.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/drive_probe.h"

namespace qm {

// One question to one drive, shared by the asker and the worker that
// answers it; whichever lets go last frees it. The asker may stop waiting at
// any moment, the worker answer at any moment, and neither answer is lost.
class VolumeQuestion {
  public:
    enum class Delivery {
        Awaited,  // the asker waits for it
        Late,     // the asker had stopped waiting: the answer is kept
    };

    // From the worker, once: the answer, and when it came (ms clock).
    Delivery answer(DriveAnswer answer, std::uint32_t now);
    // The answer if it has come, which closes the question.
    std::optional<DriveAnswer> take();
    // As take(); when no answer has come, the asker stops waiting for it.
    std::optional<DriveAnswer> leave();
    bool answered() const;
    // Answered no longer ago than `keepMs`.
    bool freshAt(std::uint32_t now, std::uint32_t keepMs) const;

  private:
    mutable std::mutex lock_;
    bool answered_ = false;
    bool left_ = false;
    std::uint32_t answeredAt_ = 0;
    DriveAnswer answer_;
};

// Where the questions run and how their answers make themselves known.
// Workers hold it as long as they run, so it outlives the probe if need be.
class ProbeWorkers {
  public:
    virtual ~ProbeWorkers() = default;
    // Runs `work` off the caller's thread; false when it cannot, and the
    // caller then runs it itself.
    virtual bool run(const std::function<void()>& work) = 0;
    // From a worker: the asker waits for this answer; ends its wait.
    virtual void wakeAsker() = 0;
    // From a worker: an answer nobody waited for has come.
    virtual void reportLate(char letter) = 0;
    // Where late answers go; see DriveProbe::reportLateAnswersTo.
    virtual void setLateTarget(WindowId window, std::uint32_t message) = 0;
    // A millisecond clock, read on any thread.
    virtual std::uint32_t now() = 0;
};

// What a worker does to answer a drive's question: its volume data and
// storage descriptor. Runs on worker threads, several at once, and may never
// return.
using DriveAsker = std::function<DriveAnswer(char letter)>;

class ThreadedDriveProbe final : public DriveProbe {
  public:
    ThreadedDriveProbe(std::shared_ptr<ProbeWorkers> workers, DriveAsker asker,
                       std::uint32_t keptAnswerMs = kKeptAnswerMs);

    bool ask(char letter) override;
    DriveAnswer take(char letter) override;
    DriveAnswer leave(char letter) override;
    void reportLateAnswersTo(WindowId window, std::uint32_t message) override;

  private:
    std::shared_ptr<VolumeQuestion>* slotOf(char letter);

    std::shared_ptr<ProbeWorkers> workers_;
    std::shared_ptr<const DriveAsker> asker_;
    std::uint32_t keptAnswerMs_;
    // By letter from A:; only the asker's thread touches the slots.
    std::array<std::shared_ptr<VolumeQuestion>, 26> questions_;
};

}  // namespace qm
