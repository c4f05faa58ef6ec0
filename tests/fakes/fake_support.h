#pragma once
// Small pieces every fake shares: a failure switch per call and the
// case-insensitive text rules Windows applies to paths and names.
#include <cstddef>
#include <set>
#include <string>
#include <string_view>

namespace qm {

// Decides whether a call fails and counts the calls. A test sets `always`,
// names single calls (`calls = {3}`: only the third fails) or fails every
// call from one on (`from = 2`).
struct FailSwitch {
    bool always = false;
    std::set<int> calls;  // 1-based numbers of the calls that fail
    int from = 0;         // when > 0, this call and every later one fail
    int count = 0;        // calls made so far

    // Counts one call; true when that call is to fail.
    bool next() {
        ++count;
        return always || calls.count(count) > 0 || (from > 0 && count >= from);
    }
    // The first `n` calls fail, the later ones succeed.
    void failFirst(int n) {
        for (int i = 1; i <= n; ++i) calls.insert(i);
    }
};

// Windows folds ASCII letters only in the places the fakes model; the bytes
// of other characters compare as they are.
std::string lowerAscii(std::string_view text);
bool equalsNoCase(std::string_view a, std::string_view b);

struct LessNoCase {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};

// Spaces and tabs off both ends.
std::string_view trimBlanks(std::string_view text);

}  // namespace qm
