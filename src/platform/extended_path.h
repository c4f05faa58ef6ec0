#pragma once
// Extended-length paths ("\\?\G:\..."), which the system takes as they are:
// no length limit, and names ending in dots or blanks are not trimmed.
#include <string>

namespace qm {

// "G:\a\b" becomes "\\?\G:\a\b" and "\\server\share\a" becomes
// "\\?\UNC\server\share\a"; '/' becomes '\' and doubled separators one.
// Paths that are extended already, device paths and relative paths (which
// an extended path cannot express) come back unchanged.
std::string ExtendedLengthPath(const std::string& path);

}  // namespace qm
