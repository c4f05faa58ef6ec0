#include "drives/eject_all.h"

#include "texts/tray_texts.h"

namespace qm {

EjectAllOutcome EjectEach(const std::vector<EjectTarget>& targets, const EjectAllSteps& steps) {
    EjectAllOutcome outcome;
    for (const EjectTarget& wanted : targets) {
        if (steps.stop && steps.stop()) {
            outcome.stopped = true;
            break;
        }
        const std::optional<EjectTarget> now = steps.current ? steps.current(wanted) : wanted;
        if (!now) {
            ++outcome.skipped;
            continue;
        }
        if (steps.eject(*now)) {
            ++outcome.ejected;
        } else {
            outcome.refused.push_back(now->caption);
        }
    }
    return outcome;
}

std::string EjectAllSummaryText(const EjectAllOutcome& outcome) {
    std::string text = Text(TrayText::EjectedCount, {std::to_string(outcome.ejected)});
    if (outcome.refused.empty()) return text;
    std::string captions;
    for (std::size_t i = 0; i < outcome.refused.size(); ++i) {
        if (i > 0) captions += Text(TrayText::ListJoin);
        captions += outcome.refused[i];
    }
    return text + Text(TrayText::NotEjected, {captions});
}

}  // namespace qm
