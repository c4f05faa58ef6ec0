#include "platform/blocker_rules.h"

#include <algorithm>
#include <array>

namespace qm {
namespace {

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lowerAscii(x) == lowerAscii(y);
           });
}

bool startsNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && sameNoCase(text.substr(0, prefix.size()), prefix);
}

std::optional<std::uint32_t> parseNumber(std::string_view text) {
    std::uint32_t base = 10;
    if (startsNoCase(text, "0x")) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 10) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        std::uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<std::uint32_t>(c - '0');
        } else if (base == 16 && lowerAscii(c) >= 'a' && lowerAscii(c) <= 'f') {
            digit = static_cast<std::uint32_t>(lowerAscii(c) - 'a' + 10);
        } else {
            return std::nullopt;
        }
        value = value * base + digit;
        if (value > 0xFFFFFFFFu) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// XML character data with its entities replaced; an entity it does not
// know stays as written.
std::string unescapeXml(std::string_view text) {
    static constexpr std::array<std::pair<std::string_view, char>, 5> kNamed = {
        {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}}};
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t end = text[i] == '&' ? text.find(';', i) : std::string_view::npos;
        if (end == std::string_view::npos || end - i > 10) {
            out += text[i];
            continue;
        }
        const std::string_view name = text.substr(i + 1, end - i - 1);
        bool done = false;
        for (const auto& [word, c] : kNamed) {
            if (name == word) {
                out += c;
                done = true;
            }
        }
        if (!done && name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            const auto cp =
                parseNumber(hex ? "0x" + std::string(name.substr(2)) : std::string(name.substr(1)));
            if (cp && *cp > 0 && *cp <= 0x10FFFF) {
                appendUtf8(out, *cp);
                done = true;
            }
        }
        if (done) {
            i = end;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The value of an attribute inside one start tag (quoted either way).
std::optional<std::string> attribute(std::string_view tag, std::string_view name) {
    for (std::size_t at = tag.find(name); at != std::string_view::npos;
         at = tag.find(name, at + 1)) {
        const bool wordStart = at > 0 && (tag[at - 1] == ' ' || tag[at - 1] == '\t' ||
                                          tag[at - 1] == '\r' || tag[at - 1] == '\n');
        std::size_t i = at + name.size();
        while (i < tag.size() && tag[i] == ' ') ++i;
        if (!wordStart || i >= tag.size() || tag[i] != '=') continue;
        ++i;
        while (i < tag.size() && tag[i] == ' ') ++i;
        if (i >= tag.size() || (tag[i] != '\'' && tag[i] != '"')) continue;
        const std::size_t close = tag.find(tag[i], i + 1);
        if (close == std::string_view::npos) return std::nullopt;
        return unescapeXml(tag.substr(i + 1, close - i - 1));
    }
    return std::nullopt;
}

// One element: its start tag and its text (empty for <x/>).
struct Element {
    std::string_view tag;
    std::string_view text;
    std::size_t end = std::string_view::npos;  // just past it
};

// The first element named `name` at or after `from`.
std::optional<Element> findElement(std::string_view xml, std::string_view name, std::size_t from) {
    const std::string open = "<" + std::string(name);
    for (std::size_t at = xml.find(open, from); at != std::string_view::npos;
         at = xml.find(open, at + 1)) {
        const std::size_t after = at + open.size();
        if (after >= xml.size()) return std::nullopt;
        const char next = xml[after];
        if (next != '>' && next != '/' && next != ' ' && next != '\t' && next != '\r' &&
            next != '\n') {
            continue;  // a longer name that begins the same
        }
        const std::size_t tagEnd = xml.find('>', after);
        if (tagEnd == std::string_view::npos) return std::nullopt;
        Element e;
        e.tag = xml.substr(at, tagEnd - at + 1);
        if (xml[tagEnd - 1] == '/') {
            e.end = tagEnd + 1;
            return e;
        }
        const std::string close = "</" + std::string(name) + ">";
        const std::size_t closeAt = xml.find(close, tagEnd + 1);
        if (closeAt == std::string_view::npos) return std::nullopt;
        e.text = xml.substr(tagEnd + 1, closeAt - tagEnd - 1);
        e.end = closeAt + close.size();
        return e;
    }
    return std::nullopt;
}

// 1601-01-01 as a day number of the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe);
}

bool digitsAt(std::string_view text, std::size_t at, std::size_t count, unsigned& value) {
    if (at + count > text.size()) return false;
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return true;
}

}  // namespace

void AddBlocker(std::vector<Blocker>& list, Blocker blocker) {
    const auto same = std::find_if(list.begin(), list.end(), [&](const Blocker& b) {
        return b.kind == blocker.kind && b.processId == blocker.processId &&
               b.window == blocker.window;
    });
    if (same == list.end()) {
        list.push_back(std::move(blocker));
        return;
    }
    // Another finder, or another look, saw more of the same holder.
    if (same->startTime == 0) same->startTime = blocker.startTime;
    if (same->imageName.empty() || same->imageName == "?") same->imageName = blocker.imageName;
    std::size_t named = 0;
    for (std::string& file : blocker.files) {
        if (std::find(same->files.begin(), same->files.end(), file) != same->files.end()) {
            ++named;
        } else if (same->files.size() < kBlockerFilesNamed) {
            same->files.push_back(std::move(file));
        }
    }
    same->fileCount += blocker.fileCount - std::min(named, blocker.fileCount);
}

std::optional<std::uint64_t> ParseSystemTime(std::string_view text) {
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!digitsAt(text, 0, 4, year) || text.size() < 20 || text[4] != '-' ||
        !digitsAt(text, 5, 2, month) || text[7] != '-' || !digitsAt(text, 8, 2, day) ||
        text[10] != 'T' || !digitsAt(text, 11, 2, hour) || text[13] != ':' ||
        !digitsAt(text, 14, 2, minute) || text[16] != ':' || !digitsAt(text, 17, 2, second)) {
        return std::nullopt;
    }
    if (year < 1601 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
        second > 60) {
        return std::nullopt;
    }
    std::size_t i = 19;
    std::uint64_t fraction = 0;  // in 100 ns
    if (text[i] == '.') {
        int digits = 0;
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
            if (digits < 7) fraction = fraction * 10 + static_cast<unsigned>(text[i] - '0');
        }
        if (digits == 0) return std::nullopt;
        for (; digits < 7; ++digits) fraction *= 10;
    }
    if (i >= text.size() || text[i] != 'Z') return std::nullopt;
    const std::int64_t days = daysFromCivil(year, month, day) - daysFromCivil(1601, 1, 1);
    const std::uint64_t seconds =
        static_cast<std::uint64_t>(days) * 86400 + hour * 3600u + minute * 60u + second;
    return seconds * 10000000u + fraction;
}

std::optional<PnpVetoEvent> ParsePnpVetoEvent(std::string_view xml) {
    const auto system = findElement(xml, "System", 0);
    if (!system) return std::nullopt;
    if (const auto provider = findElement(system->text, "Provider", 0)) {
        const auto name = attribute(provider->tag, "Name");
        if (name && !sameNoCase(*name, kPnpProvider)) return std::nullopt;
    }
    const auto id = findElement(system->text, "EventID", 0);
    if (!id || parseNumber(id->text) != kPnpVetoEventId) return std::nullopt;

    PnpVetoEvent event;
    if (const auto created = findElement(system->text, "TimeCreated", 0)) {
        if (const auto stamp = attribute(created->tag, "SystemTime")) {
            event.time = ParseSystemTime(*stamp).value_or(0);
        }
    }

    const auto data = findElement(xml, "EventData", system->end);
    if (!data) return std::nullopt;
    // Named values where the record names them; otherwise the order the
    // system writes them in: id, name length, name, device length, device.
    std::vector<std::pair<std::string, std::string>> values;
    for (auto item = findElement(data->text, "Data", 0); item;
         item = findElement(data->text, "Data", item->end)) {
        values.emplace_back(attribute(item->tag, "Name").value_or(""), unescapeXml(item->text));
    }
    const auto value = [&](std::string_view name, std::size_t position) -> std::string {
        for (const auto& [n, v] : values) {
            if (sameNoCase(n, name)) return v;
        }
        const bool unnamed = std::all_of(values.begin(), values.end(),
                                         [](const auto& nv) { return nv.first.empty(); });
        return unnamed && position < values.size() ? values[position].second : std::string();
    };
    const auto pid = parseNumber(value("ProcessId", 0));
    event.imagePath = value("ProcessName", 2);
    event.deviceId = value("DeviceInstanceId", 4);
    if (!pid || *pid == 0 || event.imagePath.empty()) return std::nullopt;
    event.processId = *pid;
    return event;
}

std::vector<Blocker> BlockersFromVetoEvents(const std::vector<PnpVetoEvent>& events,
                                            const BlockerQuery& query) {
    std::vector<const PnpVetoEvent*> ours;
    for (const auto& e : events) {
        const bool device = std::any_of(
            query.deviceIds.begin(), query.deviceIds.end(),
            [&](const std::string& id) { return !id.empty() && sameNoCase(id, e.deviceId); });
        if (device && e.time >= query.since) ours.push_back(&e);
    }
    std::stable_sort(ours.begin(), ours.end(), [](const PnpVetoEvent* a, const PnpVetoEvent* b) {
        return a->time < b->time;
    });
    std::vector<Blocker> blockers;
    for (const PnpVetoEvent* e : ours)
        AddBlocker(blockers, {e->processId, ImageNameOf(e->imagePath)});
    return blockers;
}

std::string ImageNameOf(std::string_view path) {
    const std::size_t slash = path.find_last_of("\\/");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string PathOnDriveLetter(std::string_view path, const BlockerQuery& query) {
    if (!query.volumeDevice.empty() && query.letter != 0 &&
        startsNoCase(path, query.volumeDevice) &&
        (path.size() == query.volumeDevice.size() || path[query.volumeDevice.size()] == '\\')) {
        std::string shown = std::string(1, query.letter) + ":";
        shown += path.substr(query.volumeDevice.size());
        if (shown.size() == 2) shown += '\\';
        return shown;
    }
    if (startsNoCase(path, "\\\\?\\UNC\\")) return "\\\\" + std::string(path.substr(8));
    if (startsNoCase(path, "\\\\?\\") || startsNoCase(path, "\\??\\")) path.remove_prefix(4);
    return std::string(path);
}

bool PathLiesOnVolume(std::string_view path, const BlockerQuery& query) {
    const auto endsAt = [&](std::size_t n) { return path.size() == n || path[n] == '\\'; };
    if (!query.volumeDevice.empty() && startsNoCase(path, query.volumeDevice) &&
        endsAt(query.volumeDevice.size())) {
        return true;
    }
    if (startsNoCase(path, "\\\\?\\") || startsNoCase(path, "\\??\\")) path.remove_prefix(4);
    return query.letter != 0 && path.size() >= 2 &&
           lowerAscii(path[0]) == lowerAscii(query.letter) && path[1] == ':' && endsAt(2);
}

}  // namespace qm
