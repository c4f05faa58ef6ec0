#pragma once
// Small services of the tray program used by several others.
#include <string>

#include "common/event_log.h"
#include "common/notices.h"

namespace qm {

// Tells the user that a program folder with Chinese characters breaks
// start-with-Windows, and logs it.
void WarnChinesePath(NoticePresenter& notices, EventLog& log, const std::string& noticeTitle);

}  // namespace qm
