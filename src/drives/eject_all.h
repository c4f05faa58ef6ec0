#pragma once
// "Eject all": every stick and card that holds a medium, one after another,
// and one word about all of them at the end.
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qm {

// A drive as it was when "eject all" began: known by its letter and volume
// serial, whatever moves in the drive table meanwhile.
struct EjectTarget {
    char letter = 0;
    std::string serial;
    std::string label;
    std::string root;     // "G:\"
    std::string caption;  // "KINGSTON (G:)"
    friend bool operator==(const EjectTarget&, const EjectTarget&) = default;
};

struct EjectAllOutcome {
    int ejected = 0;
    // Captions of the drives that stayed, in the order they were tried.
    std::vector<std::string> refused;
    // Gone before their turn came: nobody's business any more.
    int skipped = 0;
    bool stopped = false;  // the program was asked to end meanwhile
};

struct EjectAllSteps {
    // The target as it stands right before its eject; empty when that drive
    // (that letter with that volume) is gone.
    std::function<std::optional<EjectTarget>(const EjectTarget&)> current;
    // Ejects one drive; true when it went.
    std::function<bool(const EjectTarget&)> eject;
    // Whether to stop before the next drive.
    std::function<bool()> stop;
};

// Each eject lets messages run, so the drives are looked up again, by
// identity, before each one.
EjectAllOutcome EjectEach(const std::vector<EjectTarget>& targets, const EjectAllSteps& steps);

// "已安全弹出 2 个设备", followed by the captions of those that stayed.
std::string EjectAllSummaryText(const EjectAllOutcome& outcome);

}  // namespace qm
