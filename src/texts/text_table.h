#pragma once
// A language's words for one program: one entry per text name, checked when
// the program is compiled to hold every name once, in the order of the names.
#include <array>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace qm {

template <typename Id>
struct TextEntry {
    Id id;
    std::string_view text;
};

// True when `entries` names every id from 0 to Id::Count once, in order, with
// a text for each: a table that misses or repeats a name does not compile.
template <typename Id, std::size_t N>
constexpr bool IsCompleteTable(const std::array<TextEntry<Id>, N>& entries) {
    if (N != static_cast<std::size_t>(Id::Count)) return false;
    for (std::size_t i = 0; i < N; ++i) {
        if (static_cast<std::size_t>(entries[i].id) != i || entries[i].text.empty()) return false;
    }
    return true;
}

// `pattern` with {1} to {9} replaced by the parts in order; a mark without a
// part (or a part without a mark) is left out, so a table that says less than
// the code hands it never shows a raw mark.
std::string FillIn(std::string_view pattern, std::initializer_list<std::string_view> parts);

}  // namespace qm
