#include "fakes/fake_desktop.h"

namespace qm {

Rect FakeDesktop::workArea() {
    if (failWorkArea.next()) return Rect{0, 0, width, height};
    return work;
}

std::optional<Rect> FakeDesktop::foregroundWindowRect() {
    if (failForeground.next()) return std::nullopt;
    return foreground;
}

}  // namespace qm
