#include "texts/text_table.h"

namespace qm {

std::string FillIn(std::string_view pattern, std::initializer_list<std::string_view> parts) {
    std::string out;
    out.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const bool mark = pattern[i] == '{' && i + 2 < pattern.size() && pattern[i + 1] >= '1' &&
                          pattern[i + 1] <= '9' && pattern[i + 2] == '}';
        if (!mark) {
            out += pattern[i];
            continue;
        }
        const auto index = static_cast<std::size_t>(pattern[i + 1] - '1');
        if (index < parts.size()) out += *(parts.begin() + index);
        i += 2;
    }
    return out;
}

}  // namespace qm
