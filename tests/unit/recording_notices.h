#pragma once
#include <string>
#include <vector>

#include "common/notices.h"
#include "fakes/fake_code_page.h"
#include "fakes/fake_file_system.h"

namespace qm {

// The texts of the log lines appended so far, without time stamp and CR LF.
inline std::vector<std::string> LoggedTexts(const FakeFileSystem& files, FakeCodePage& codePage) {
    std::vector<std::string> out;
    for (const auto& a : files.appends) {
        const std::string line = codePage.fromAnsi(a.bytes);
        const auto tab = line.find('\t');
        if (tab != std::string::npos && line.size() >= tab + 3) {
            out.push_back(line.substr(tab + 1, line.size() - tab - 3));
        }
    }
    return out;
}

// Keeps every notice the code asked to show.
struct RecordingNotices final : NoticePresenter {
    struct Shown {
        std::string title, content;
        NoticePicture picture;
        int kind;
        std::string disk;
    };
    std::vector<Shown> shown;
    void ShowNotice(const std::string& t, const std::string& c, NoticePicture p, int k,
                    const std::string& d) override {
        shown.push_back({t, c, p, k, d});
    }
};

// Keeps the drives it was asked to immunise.
struct RecordingImmuniser final : DriveImmuniser {
    std::vector<std::string> drives;
    void ImmuniseDrive(const std::string& drive) override { drives.push_back(drive); }
};

// Keeps every popup the gate let through; with `fail`, none can be made.
struct RecordingPopups final : PopupFactory {
    std::vector<RecordingNotices::Shown> shown;
    bool fail = false;
    bool OpenPopup(const std::string& t, const std::string& c, NoticePicture p, int k,
                   const std::string& d) override {
        shown.push_back({t, c, p, k, d});
        return !fail;
    }
};

}  // namespace qm
