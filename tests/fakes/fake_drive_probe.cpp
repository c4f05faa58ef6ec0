#include "fakes/fake_drive_probe.h"

#include "drives/drive_identification.h"

namespace qm {
namespace {

char upper(char letter) {
    return (letter >= 'a' && letter <= 'z') ? static_cast<char>(letter - 'a' + 'A') : letter;
}

}  // namespace

DriveAnswer FakeDriveProbe::answerOf(char letter) {
    return AnswerDriveQuestion(files_, storage_, codePage_, letter);
}

bool FakeDriveProbe::ask(char letter) {
    letter = upper(letter);
    const auto open = open_.find(letter);
    // An answer waiting is kept; an open question stays open.
    if (open != open_.end()) return open->second.answer.has_value();
    asked.push_back(letter);
    const auto slow = takesBeforeAnswer.find(letter);
    open_[letter] = Question{slow == takesBeforeAnswer.end() ? 0 : slow->second, false, {}};
    return true;
}

DriveAnswer FakeDriveProbe::take(char letter) {
    letter = upper(letter);
    const auto open = open_.find(letter);
    if (open == open_.end()) return {};
    Question& q = open->second;
    if (!q.answer) {
        if (hung.count(letter) != 0) return {};
        if (q.takesToGo > 0) {
            --q.takesToGo;
            return {};
        }
        q.answer = answerOf(letter);
    }
    DriveAnswer answer = std::move(*q.answer);
    open_.erase(open);
    return answer;
}

DriveAnswer FakeDriveProbe::leave(char letter) {
    letter = upper(letter);
    const auto open = open_.find(letter);
    if (open == open_.end()) return {};
    Question& q = open->second;
    if (!q.answer && (hung.count(letter) != 0 || q.takesToGo > 0)) {
        q.left = true;
        return {};
    }
    return take(letter);
}

void FakeDriveProbe::reportLateAnswersTo(WindowId window, std::uint32_t message) {
    lateWindow = window;
    lateMessage = message;
}

void FakeDriveProbe::finish(char letter) {
    letter = upper(letter);
    hung.erase(letter);
    const auto open = open_.find(letter);
    if (open == open_.end() || open->second.answer) return;
    open->second.answer = answerOf(letter);
    if (!open->second.left) return;
    late.push_back(letter);
    if (onLate) onLate(lateMessage, letter);
}

}  // namespace qm
