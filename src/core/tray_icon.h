#pragma once
// The program's one icon in the notification area.
#include <cstdint>
#include <string>

#include "platform/code_page.h"
#include "platform/shell.h"
#include "platform/types.h"

namespace qm {

inline constexpr std::uint32_t kTrayCallbackMsg = 2025;
// NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO
inline constexpr std::uint32_t kTrayFlags = 0x17;
inline constexpr std::uint32_t kNiifWarning = 2;

// Lays the record out byte for byte; texts go in the ANSI code page, cut on a
// character boundary so that each field keeps its closing NUL.
NotifyIconRecord BuildNotifyIconRecord(CodePage& codePage, WindowId aHwnd, IconId aIcon,
                                       const std::string& aTrayTIP, const std::string& aContent,
                                       const std::string& aTitle, std::uint32_t aFlag,
                                       std::uint32_t aShowType);

// The longest start of the text whose ANSI form fits in maxBytes.
std::string AnsiPrefix(CodePage& codePage, const std::string& utf8, std::size_t maxBytes);

class cToolTip {
public:
    cToolTip(Shell& shell, CodePage& codePage) : shell_(shell), codePage_(codePage) {}
    // Removes the icon it added, even when the shell that showed it is gone.
    ~cToolTip();
    cToolTip(const cToolTip&) = delete;
    cToolTip& operator=(const cToolTip&) = delete;

    void AddTrayAndInfo(WindowId aHwnd, IconId aIcon, const std::string& aTrayTIP,
                        const std::string& aContent, const std::string& aTitle,
                        std::uint32_t aFlag, std::uint32_t aShowType);
    const NotifyIconRecord& record() const { return record_; }

private:
    Shell& shell_;
    CodePage& codePage_;
    NotifyIconRecord record_{};
    bool filled_ = false;
};

}  // namespace qm
