#pragma once
// Splitting a text file into lines, the same for the system and the fakes.
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// Lines end with CR LF, LF or a lone CR. A final line without an ending
// counts; an ending at the very end opens no empty line after it.
std::vector<std::string> SplitTextLines(std::string_view text);

}  // namespace qm
