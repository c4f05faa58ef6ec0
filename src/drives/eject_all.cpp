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

Phrase EjectAllSummaryText(const EjectAllOutcome& outcome) {
    Phrase text(TrayText::EjectedCount, {Words{std::to_string(outcome.ejected)}});
    if (outcome.refused.empty()) return text;
    Phrase captions(Words{outcome.refused[0]});
    for (std::size_t i = 1; i < outcome.refused.size(); ++i) {
        captions += TrayText::ListJoin;
        captions += Words{outcome.refused[i]};
    }
    return text + Phrase(TrayText::NotEjected, {captions});
}

}  // namespace qm
