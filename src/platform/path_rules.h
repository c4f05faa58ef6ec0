#pragma once
// Comparing folder paths as the system resolves them.
#include <string>
#include <string_view>

namespace qm {

// The path as the system would resolve it, for comparing: '/' as '\', a run
// of separators as one (the two that open a UNC path stay), "." dropped,
// ".." taking away the name before it (never the root), names losing
// trailing dots and blanks as ordinary paths do, no separator at the end
// except a root's, ASCII letters lower case. "\\?\" paths are taken as they
// are written, apart from case and doubled separators.
std::string ComparablePath(std::string_view path);

// True when `path` is `folder` itself or lies anywhere below it, whole names
// compared: "C:\dist\Quillmoor" is not inside "C:\dist\Quill".
bool IsSameOrInsideFolder(std::string_view folder, std::string_view path);

}  // namespace qm
