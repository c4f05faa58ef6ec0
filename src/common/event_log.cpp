#include "common/event_log.h"

namespace qm {

std::string FormatLogLine(std::string_view timestamp, std::string_view text) {
    std::string line;
    line.reserve(timestamp.size() + text.size() + 3);
    line.append(timestamp);
    line.push_back('\t');
    for (char c : text) line.push_back(c == '\r' || c == '\n' ? ' ' : c);
    line.append("\r\n");
    return line;
}

void EventLog::WriteLog(std::string_view text) {
    loop_.pump();
    const std::string line = FormatLogLine(loop_.localTimestamp(), text);
    files_.appendBytes(path_, codePage_.toAnsi(line));
}

}  // namespace qm
