#include "platform/path_rules.h"

#include <vector>

namespace qm {
namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

}  // namespace

std::string ComparablePath(std::string_view path) {
    std::string root;
    std::string_view rest = path;
    bool extended = false;
    if (rest.size() >= 4 && isSeparator(rest[0]) && isSeparator(rest[1]) &&
        (rest[2] == '?' || rest[2] == '.') && isSeparator(rest[3])) {
        extended = rest[2] == '?';
        rest.remove_prefix(4);
        if (extended && rest.size() >= 4 && lowerAscii(rest.substr(0, 3)) == "unc" &&
            isSeparator(rest[3])) {
            rest.remove_prefix(3);  // "\\?\UNC\server\share" is "\\server\share"
            root = "\\";
        } else if (!extended) {
            root = "\\\\.\\";
        }
    }
    if (root.empty() && rest.size() >= 2 && isLetter(rest[0]) && rest[1] == ':') {
        root = lowerAscii(rest.substr(0, 2));
        rest.remove_prefix(2);
    } else if (root.empty() && rest.size() >= 2 && isSeparator(rest[0]) && isSeparator(rest[1])) {
        root = "\\";  // the second one follows below
    }
    const bool absolute = !rest.empty() && isSeparator(rest[0]);
    if (absolute) root += '\\';

    // A UNC path's server and share are its root: ".." never leaves them.
    const std::size_t kept = root == "\\\\" ? 2 : 0;
    std::vector<std::string> names;
    std::size_t at = 0;
    while (at < rest.size()) {
        while (at < rest.size() && isSeparator(rest[at])) ++at;
        std::size_t end = at;
        while (end < rest.size() && !isSeparator(rest[end])) ++end;
        std::string name(rest.substr(at, end - at));
        at = end;
        if (name.empty() || name == ".") continue;
        if (name == "..") {
            if (names.size() > kept) names.pop_back();
            continue;
        }
        if (!extended) {
            while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
            if (name.empty()) continue;
        }
        names.push_back(lowerAscii(name));
    }
    std::string out = root;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) out += '\\';
        out += names[i];
    }
    return out;
}

bool IsSameOrInsideFolder(std::string_view folder, std::string_view path) {
    const std::string outer = ComparablePath(folder);
    const std::string inner = ComparablePath(path);
    if (outer.empty()) return false;
    if (inner.compare(0, outer.size(), outer) != 0) return false;
    return inner.size() == outer.size() || outer.back() == '\\' || inner[outer.size()] == '\\';
}

}  // namespace qm
