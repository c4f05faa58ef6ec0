#include "fakes/fake_drive_probe.h"

namespace qm {
namespace {

char upper(char letter) {
    return (letter >= 'a' && letter <= 'z') ? static_cast<char>(letter - 'a' + 'A') : letter;
}

}  // namespace

bool FakeDriveProbe::ask(char letter) {
    letter = upper(letter);
    const auto open = open_.find(letter);
    if (open != open_.end() && (hung.count(letter) != 0 || open->second > 0)) return false;
    asked.push_back(letter);
    const auto slow = takesBeforeAnswer.find(letter);
    open_[letter] = slow == takesBeforeAnswer.end() ? 0 : slow->second;
    return true;
}

DriveAnswer FakeDriveProbe::take(char letter) {
    letter = upper(letter);
    const auto open = open_.find(letter);
    if (open == open_.end() || hung.count(letter) != 0) return {};
    if (open->second > 0) {
        --open->second;
        return {};
    }
    open_.erase(open);
    return {true, files_.driveProperties(letter)};
}

}  // namespace qm
