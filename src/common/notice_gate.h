#pragma once
// Every notice passes here: none while a full-screen program is in front,
// and at most one open popup per drive.
#include <functional>
#include <string>
#include <vector>

#include "common/event_log.h"
#include "common/notices.h"
#include "platform/desktop.h"

namespace qm {

// A foreground window at least as large as the screen in both directions.
bool IsFullScreenAppActive(Desktop& desktop);

class NoticeGate final : public NoticePresenter, public NoticeKeys {
public:
    NoticeGate(Desktop& desktop, EventLog& log, PopupFactory& popups)
        : desktop_(desktop), log_(log), popups_(popups) {}

    void ShowNotice(const std::string& sTitle, const std::string& sContent, NoticePicture sICON,
                    int sType, const std::string& sDisk) override;
    // Called once by each popup as it hides; removes the first matching key.
    void ReleaseDriveKey(const std::string& sDisk) override;

    // Lower-cased drive keys whose popup is open, oldest first.
    const std::vector<std::string>& OpenNoticeDrives() const { return open_; }

private:
    Desktop& desktop_;
    EventLog& log_;
    PopupFactory& popups_;
    std::vector<std::string> open_;
};

}  // namespace qm
