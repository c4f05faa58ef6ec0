#include "common/notice_gate.h"

#include <algorithm>

#include "common/text_rules.h"
#include "texts/tray_texts.h"

namespace qm {
namespace {


}  // namespace

bool IsFullScreenAppActive(Desktop& desktop) {
    const auto rect = desktop.foregroundWindowRect();
    if (!rect) return false;
    return rect->width() >= desktop.screenWidth() && rect->height() >= desktop.screenHeight();
}

void NoticeGate::ShowNotice(const std::string& sTitle, const std::string& sContent,
                            NoticePicture sICON, int sType, const std::string& sDisk) {
    if (IsFullScreenAppActive(desktop_)) {
        log_.WriteLog(Text(TrayText::LogFullScreen));
        return;
    }
    const std::string key = LowerAscii(TrimBlanks(sDisk));
    if (std::find(open_.begin(), open_.end(), key) != open_.end()) return;
    if (key.size() == 1) open_.push_back(key);
    // A popup that was never made cannot hand its key back: the drive would
    // never be asked about again.
    if (!popups_.OpenPopup(sTitle, sContent, sICON, sType, sDisk)) ReleaseDriveKey(sDisk);
}

void NoticeGate::ReleaseDriveKey(const std::string& sDisk) {
    const auto it = std::find(open_.begin(), open_.end(), LowerAscii(TrimBlanks(sDisk)));
    if (it != open_.end()) open_.erase(it);
}

}  // namespace qm
