#pragma once
// A program's whole command line, as the system hands it over, holds the
// program's own name first.
#include <string_view>

namespace qm {

// The arguments after the program's name: a quoted name ends at its closing
// quote, an unquoted one at the first blank; the blanks after it go too.
std::string_view SkipProgramName(std::string_view commandLine);

}  // namespace qm
