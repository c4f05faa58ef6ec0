#include "platform/search_share.h"

namespace qm {

void SearchShare::add(Blocker blocker) {
    const std::lock_guard<std::mutex> locked(lock_);
    AddBlocker(found_, std::move(blocker));
}

std::vector<Blocker> SearchShare::found() const {
    const std::lock_guard<std::mutex> locked(lock_);
    return found_;
}

bool SearchShare::finish() {
    done_.store(true);
    return !givenUp();
}

}  // namespace qm
