#include "ui/blocker_windows.h"

#include <algorithm>

#include "common/text_rules.h"

namespace qm {
namespace {

bool sameLetter(char a, char b) {
    return UpperAscii(std::string(1, a)) == UpperAscii(std::string(1, b));
}

}  // namespace

BlockerWindowSet::~BlockerWindowSet() {
    for (BlockerWindow* w : windows_) w->setOnDestroyed(nullptr);
}

bool BlockerWindowSet::known(const BlockerWindow* window) const {
    return std::find(windows_.begin(), windows_.end(), window) != windows_.end();
}

void BlockerWindowSet::forget(BlockerWindow* window) { std::erase(windows_, window); }

BlockerWindow* BlockerWindowSet::windowOf(char letter) const {
    for (BlockerWindow* w : windows_) {
        if (w->open() && sameLetter(w->letter(), letter)) return w;
    }
    return nullptr;
}

std::size_t BlockerWindowSet::openCount() const {
    return static_cast<std::size_t>(std::count_if(
        windows_.begin(), windows_.end(), [](const BlockerWindow* w) { return w->open(); }));
}

void BlockerWindowSet::showHolders(const HeldDrive& drive) {
    if (BlockerWindow* current = windowOf(drive.letter)) {
        if (current->serial() == drive.serial) {
            current->holdersFound(drive);
            return;
        }
        // Another medium answers to the letter now: its window is another.
        current->close();
    }
    BlockerWindow* opened = factory_.openWindow(drive);
    if (opened == nullptr) return;
    windows_.push_back(opened);
    opened->setOnDestroyed([this](BlockerWindow* gone) { forget(gone); });
}

void BlockerWindowSet::keepDrives(
    const std::function<bool(char letter, const std::string& serial)>& present) {
    const std::vector<BlockerWindow*> windows = windows_;
    for (BlockerWindow* w : windows) {
        if (known(w) && w->open() && !present(w->letter(), w->serial())) w->close();
    }
}

void BlockerWindowSet::closeAll() {
    const std::vector<BlockerWindow*> windows = windows_;
    for (BlockerWindow* w : windows) {
        if (known(w)) w->close();
    }
}

}  // namespace qm
