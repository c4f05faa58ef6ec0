#pragma once
#include <string>
#include <vector>

#include "drives/notices.h"

namespace qm {

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

// Keeps every popup the gate let through.
struct RecordingPopups final : PopupFactory {
    std::vector<RecordingNotices::Shown> shown;
    void OpenPopup(const std::string& t, const std::string& c, NoticePicture p, int k,
                   const std::string& d) override {
        shown.push_back({t, c, p, k, d});
    }
};

}  // namespace qm
