#include "ui/disk_row.h"

#include <string_view>

#include "drives/immunisation.h"
#include "common/text_rules.h"
#include "settings/ini.h"
#include "settings/stored_settings.h"
#include "texts/tray_texts.h"

namespace qm {
namespace {

// What a stored MakeDir does to "总是免疫": the default "-1" (nothing
// stored) leaves the boxes alone; "1" ticks it and "0" ticks "总不免疫";
// anything else is no decision either way and ticks neither.
enum class MakeDirReading { Keep, Always, Never, Neither };

MakeDirReading ReadMakeDir(const std::string& stored) {
    const std::string text = TrimBlanks(stored);
    if (text == kMakeDirNotStored) return MakeDirReading::Keep;
    if (IniFlagIsSet(text)) return MakeDirReading::Always;
    if (!text.empty() && text.find_first_not_of('0') == std::string::npos) {
        return MakeDirReading::Never;
    }
    return MakeDirReading::Neither;
}

}  // namespace

u_Disk::u_Disk(DiskRowPort& port, DiskRowServices services)
    : port_(port), services_(std::move(services)), statusText_(Text(TrayText::RowNotImmunised)) {
    initChecks();
}

void u_Disk::pump() { services_.loop.pump(); }

void u_Disk::setCurrDisk(const std::string& value) {
    CurrDisk_ = UpperAscii(value);
    if (destroyed_) return;
    refreshStatus();
    pump();
    if (destroyed_) return;
    const std::string root = CurrDisk_.empty() ? std::string() : std::string(1, letter()) + ":\\";
    port_.setIcon(root);
    pump();
    if (destroyed_) return;
    port_.setDriveText(root);
    pump();
    if (destroyed_) return;
    initChecks();
}

void u_Disk::setDiskVol(const std::string& value) {
    DiskVol_ = value;
    if (destroyed_) return;
    port_.setToolTip(DiskVol_);
    initChecks();
}

void u_Disk::setDiskSerNum(const std::string& value) {
    DiskSerNum_ = value;
    pump();
    if (destroyed_) return;
    initChecks();
}

void u_Disk::initChecks() {
    pump();
    if (destroyed_) return;
    // A row without a volume reads the defaults: nothing stored yet.
    const StoredPolicy stored = DiskSerNum_.empty()
                                    ? StoredPolicy{"0", kMakeDirNotStored}
                                    : ReadStoredPolicy(services_.profile, services_.diskIni, DiskSerNum_);
    // The tray program asks unless Remember counts as 1; the box shows that.
    setBox(DiskRowControl::Check1, IniFlagIsSet(stored.remember) ? 0 : 1);
    pump();
    if (destroyed_) return;
    switch (ReadMakeDir(stored.makeDir)) {
        case MakeDirReading::Keep:
            break;
        case MakeDirReading::Always:
            setBox(DiskRowControl::Check2, 1);
            setBox(DiskRowControl::Check3, 0);
            break;
        case MakeDirReading::Never:
            setBox(DiskRowControl::Check2, 0);
            setBox(DiskRowControl::Check3, 1);
            break;
        case MakeDirReading::Neither:
            setBox(DiskRowControl::Check2, 0);
            setBox(DiskRowControl::Check3, 0);
            break;
    }
}

int u_Disk::check(DiskRowControl box) const {
    switch (box) {
        case DiskRowControl::Check1:
            return check1_;
        case DiskRowControl::Check2:
            return check2_;
        case DiskRowControl::Check3:
            return check3_;
        default:
            return 0;
    }
}

void u_Disk::setBox(DiskRowControl box, int value) {
    switch (box) {
        case DiskRowControl::Check1:
            check1_ = value;
            break;
        case DiskRowControl::Check2:
            check2_ = value;
            break;
        case DiskRowControl::Check3:
            check3_ = value;
            break;
        default:
            return;
    }
    port_.setCheck(box, value);
}

void u_Disk::writeKey(PolicyKey key, int value) {
    // A row that was never given a volume has no section to write to.
    if (DiskSerNum_.empty()) return;
    WritePolicy(services_.profile, services_.diskIni, DiskSerNum_, key, value);
}

void u_Disk::onClick(DiskRowControl box) {
    if (destroyed_) return;
    switch (box) {
        case DiskRowControl::Check1:
            setBox(box, 1 - check1_);
            writeKey(PolicyKey::Remember, 1 - check1_);
            break;
        case DiskRowControl::Check2:
            setBox(box, 1 - check2_);
            writeKey(PolicyKey::MakeDir, check2_);
            setBox(DiskRowControl::Check3, 1 - check2_);
            break;
        case DiskRowControl::Check3:
            setBox(box, 1 - check3_);
            setBox(DiskRowControl::Check2, 1 - check3_);
            writeKey(PolicyKey::MakeDir, check2_);
            break;
        default:
            break;
    }
}

void u_Disk::onTimer() {
    if (!destroyed_) refreshStatus();
}

void u_Disk::onMouseUp(const RowMouseUp& event) {
    if (!destroyed_ && aMouseUP) aMouseUP(event);
}

void u_Disk::refreshStatus() {
    const bool immunised =
        letter() != '\0' && IsImmunised(services_.files, std::string(1, letter()));
    statusText_ = Text(immunised ? TrayText::RowImmunised : TrayText::RowNotImmunised);
    port_.setStatus(statusText_, immunised ? diskrowdesign::kImmunisedColour
                                           : diskrowdesign::kNotImmunisedColour);
}

}  // namespace qm
