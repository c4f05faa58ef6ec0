#pragma once
// log.txt: one line per event, "date time<TAB>text<CR><LF>", ANSI text,
// appended line by line so that re-entrant writers keep their order.
#include <string>
#include <string_view>

#include "platform/code_page.h"
#include "platform/event_loop.h"
#include "platform/file_system.h"

namespace qm {

class EventLog {
public:
    EventLog(FileSystem& files, CodePage& codePage, EventLoop& loop, std::string logPath)
        : files_(files), codePage_(codePage), loop_(loop), path_(std::move(logPath)) {}

    // Lets pending messages run first. A line that cannot be written (the
    // file is locked, the folder read-only) is lost without a word.
    void WriteLog(std::string_view text);
    const std::string& path() const { return path_; }

private:
    FileSystem& files_;
    CodePage& codePage_;
    EventLoop& loop_;
    std::string path_;
};

// The line as it is stored, before conversion to the ANSI code page. Line
// breaks inside the text become spaces so that one event stays one line.
std::string FormatLogLine(std::string_view timestamp, std::string_view text);

}  // namespace qm
