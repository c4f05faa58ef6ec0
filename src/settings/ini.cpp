#include "settings/ini.h"

#include <cctype>
#include <limits>

namespace qm {

std::string ReadIniString(Profile& profile, const std::string& file, const std::string& section,
                          const std::string& key, const std::string& fallback) {
    std::string value = profile.getString(file, section, key, fallback, kIniReadLimit);
    // The system already stops at the limit; keep the rule even for a store
    // that hands back more. The limit counts characters: a cut by bytes
    // would break the last of a run of Chinese characters in half.
    std::size_t characters = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const bool startsCharacter = (static_cast<unsigned char>(value[i]) & 0xC0) != 0x80;
        if (startsCharacter && ++characters > kIniReadLimit - 1) {
            value.resize(i);
            break;
        }
    }
    return value;
}

void WriteIniString(Profile& profile, const std::string& file, const std::string& section,
                    const std::string& key, std::string_view value) {
    std::string oneLine(value);
    for (char& c : oneLine) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    profile.writeString(file, section, key, oneLine);
}

long long LeadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr long long kMax = std::numeric_limits<long long>::max() / 10 - 9;
    long long n = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        if (n < kMax) n = n * 10 + (text[i] - '0');
    }
    return negative ? -n : n;
}

}  // namespace qm
