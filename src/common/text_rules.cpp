#include "common/text_rules.h"

#include <charconv>

namespace qm {

std::size_t Utf8Length(std::string_view utf8) {
    std::size_t n = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) != 0x80) ++n;
    }
    return n;
}

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string UpperAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

std::string TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

std::size_t CountDoubleByteChars(CodePage& codePage, std::string_view utf8) {
    const std::size_t bytes = codePage.bytesIn936(utf8);
    const std::size_t chars = Utf8Length(utf8);
    return bytes > chars ? bytes - chars : 0;
}

std::optional<std::int32_t> ParseInt32(std::string_view text) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    // One sign at most: from_chars takes a '-' after the '+' we skip.
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-') return std::nullopt;
    }
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (first == last || ec != std::errc() || end != last) return std::nullopt;
    return value;
}

}  // namespace qm
