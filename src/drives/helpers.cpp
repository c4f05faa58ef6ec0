#include "drives/helpers.h"

#include "drives/texts.h"

namespace qm {

void WarnChinesePath(NoticePresenter& notices, EventLog& log, const std::string& noticeTitle) {
    notices.ShowNotice(noticeTitle, text::kNoticeChinesePath, NoticePicture::Warning,
                       kNoticeInformation, kNoticeKeyTip);
    log.WriteLog(text::kLogChinesePath);
}

}  // namespace qm
