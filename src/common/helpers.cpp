#include "common/helpers.h"

#include "texts/tray_texts.h"

namespace qm {

void WarnChinesePath(NoticePresenter& notices, EventLog& log, const std::string& noticeTitle) {
    notices.ShowNotice(noticeTitle, Text(TrayText::NoticeChinesePath), NoticePicture::Warning,
                       kNoticeInformation, kNoticeKeyTip);
    log.WriteLog(Text(TrayText::LogChinesePath));
}

}  // namespace qm
