#include "platform/extended_path.h"

namespace qm {
namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// '\' for '/', one separator for a run of them; the system does that for
// ordinary paths, not for extended ones.
std::string tidySeparators(const std::string& rest) {
    std::string out;
    out.reserve(rest.size());
    for (char c : rest) {
        if (isSeparator(c)) {
            if (out.empty() || out.back() != '\\') out += '\\';
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::string ExtendedLengthPath(const std::string& path) {
    if (path.size() >= 4 && isSeparator(path[0]) && isSeparator(path[1]) &&
        (path[2] == '?' || path[2] == '.') && isSeparator(path[3])) {
        return path;
    }
    if (path.size() >= 3 && isLetter(path[0]) && path[1] == ':' && isSeparator(path[2])) {
        return "\\\\?\\" + path.substr(0, 2) + tidySeparators(path.substr(2));
    }
    if (path.size() > 2 && isSeparator(path[0]) && isSeparator(path[1]) && !isSeparator(path[2])) {
        return "\\\\?\\UNC\\" + tidySeparators(path.substr(2));
    }
    return path;
}

}  // namespace qm
