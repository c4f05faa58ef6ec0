#include "platform/program_arguments.h"

namespace qm {

std::string_view SkipProgramName(std::string_view line) {
    std::size_t i = 0;
    if (!line.empty() && line[0] == '"') {
        // The name may hold blanks; no escapes count inside it, and the
        // arguments may follow the closing quote at once.
        const std::size_t close = line.find('"', 1);
        i = close == std::string_view::npos ? line.size() : close + 1;
    } else {
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    }
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    return line.substr(i);
}

}  // namespace qm
