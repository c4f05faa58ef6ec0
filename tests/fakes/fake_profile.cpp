#include "fakes/fake_profile.h"

#include <optional>

namespace qm {
namespace {

struct Line {
    std::size_t begin;  // first byte
    std::size_t end;    // one past the last byte before the line break
    std::size_t next;   // first byte of the following line
};

std::vector<Line> splitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find_first_of("\r\n", begin);
        if (end == std::string_view::npos) {
            lines.push_back({begin, text.size(), text.size()});
            break;
        }
        std::size_t next = end + 1;
        if (text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
        lines.push_back({begin, end, next});
        begin = next;
    }
    return lines;
}

std::string_view lineText(std::string_view text, const Line& line) {
    return text.substr(line.begin, line.end - line.begin);
}

// The name of a "[name]" line; empty optional for any other line.
std::optional<std::string_view> sectionName(std::string_view line) {
    line = trimBlanks(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    std::size_t close = line.rfind(']');
    if (close == std::string_view::npos || close == 0) return std::nullopt;
    return trimBlanks(line.substr(1, close - 1));
}

struct Entry {
    std::string_view key;
    std::optional<std::string_view> value;  // none for a line without '='
};

Entry keyLine(std::string_view line) {
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return {trimBlanks(line), std::nullopt};
    return {trimBlanks(line.substr(0, eq)), trimBlanks(line.substr(eq + 1))};
}

// Index of the first line of the section's body, or npos.
std::size_t findSection(std::string_view text, const std::vector<Line>& lines,
                        std::string_view section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        auto name = sectionName(lineText(text, lines[i]));
        if (name && equalsNoCase(*name, section)) return i + 1;
    }
    return std::string_view::npos;
}

bool isSectionLine(std::string_view text, const Line& line) {
    return sectionName(lineText(text, line)).has_value();
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace

FakeProfile::FakeProfile()
    : ownFiles_(std::make_unique<FakeFileSystem>()), files_(*ownFiles_), codePage_(nullptr) {
    files_.assumeFoldersExist = true;
}

FakeProfile::FakeProfile(FakeFileSystem& files, FakeCodePage* codePage)
    : files_(files), codePage_(codePage) {}

std::string FakeProfile::ansi(std::string_view utf8) const {
    return codePage_ ? codePage_->toAnsi(utf8) : std::string(utf8);
}

std::string FakeProfile::utf8(std::string_view ansi) const {
    return codePage_ ? codePage_->fromAnsi(ansi) : std::string(ansi);
}

std::string FakeProfile::fitBytes(std::string_view text, std::size_t limit) const {
    std::size_t i = 0;
    while (i < text.size() && i < limit) {
        std::size_t width = 1;
        if (codePage_ && codePage_->isLeadByte(static_cast<unsigned char>(text[i])) &&
            i + 1 < text.size()) {
            width = 2;
        }
        if (i + width > limit) break;
        i += width;
    }
    return std::string(text.substr(0, i));
}

std::optional<std::string> FakeProfile::lookUp(const std::string& file, const std::string& section,
                                               const std::string& key) const {
    if (!files_.canRead(file)) return std::nullopt;
    const std::string bytes = files_.fileBytes(file).value_or(std::string{});
    std::string_view text = bytes;
    // A file saved as UTF-8 with its mark is read as UTF-8.
    const bool utf8File = text.substr(0, kUtf8Bom.size()) == kUtf8Bom;
    if (utf8File) text.remove_prefix(kUtf8Bom.size());
    const bool convert = codePage_ != nullptr && !utf8File;
    const std::string wantSection = convert ? ansi(section) : section;
    const std::string wantKey = convert ? ansi(key) : key;

    const std::vector<Line> lines = splitLines(text);
    for (std::size_t i = findSection(text, lines, trimBlanks(wantSection));
         i < lines.size() && !isSectionLine(text, lines[i]); ++i) {
        Entry entry = keyLine(lineText(text, lines[i]));
        if (!equalsNoCase(entry.key, trimBlanks(wantKey))) continue;
        if (!entry.value) return std::nullopt;  // a bare name counts, without a value
        std::string_view value = *entry.value;
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        return utf8File && codePage_ ? ansi(value) : std::string(value);
    }
    return std::nullopt;
}

std::string FakeProfile::getString(const std::string& file, const std::string& section,
                                   const std::string& key, const std::string& fallback,
                                   std::size_t bufferSize) {
    reads.push_back({file, section, key});
    if (bufferSize == 0) return {};
    std::optional<std::string> found;
    if (!failReads.next()) found = lookUp(file, section, key);
    std::string answer;
    if (found) {
        answer = *found;
    } else {
        // The system drops trailing blanks of the default.
        answer = ansi(fallback);
        while (!answer.empty() && (answer.back() == ' ' || answer.back() == '\t')) {
            answer.pop_back();
        }
    }
    if (std::size_t nul = answer.find('\0'); nul != std::string::npos) answer.resize(nul);
    return utf8(fitBytes(answer, bufferSize - 1));
}

bool FakeProfile::writeString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& value) {
    const bool ok = !failWrites.next() && files_.canWrite(file);
    writes.push_back({file, section, key, value, ok});
    if (!ok) return false;

    std::string text = files_.fileBytes(file).value_or(std::string{});
    const std::string aSection = ansi(section);
    const std::string aKey = ansi(key);
    const std::string newLine = aKey + "=" + ansi(value);
    const std::vector<Line> lines = splitLines(text);
    std::size_t body = findSection(text, lines, trimBlanks(aSection));

    if (body == std::string::npos) {
        if (!text.empty() && text.back() != '\n' && text.back() != '\r') text += "\r\n";
        text += "[" + aSection + "]\r\n" + newLine + "\r\n";
        return files_.writeWholeFile(file, text);
    }
    // After the section's last non-blank line unless the key is already there.
    std::size_t insertAfter = body - 1;
    for (std::size_t i = body; i < lines.size() && !isSectionLine(text, lines[i]); ++i) {
        std::string_view line = lineText(text, lines[i]);
        if (trimBlanks(line).empty()) continue;
        Entry entry = keyLine(line);
        if (equalsNoCase(entry.key, trimBlanks(aKey))) {
            text.replace(lines[i].begin, lines[i].end - lines[i].begin,
                         std::string(entry.key) + "=" + ansi(value));
            return files_.writeWholeFile(file, text);
        }
        insertAfter = i;
    }
    const Line& after = lines[insertAfter];
    std::string insert = newLine + "\r\n";
    if (after.next == after.end) insert = "\r\n" + newLine;  // last line had no break
    text.insert(after.next, insert);
    return files_.writeWholeFile(file, text);
}

void FakeProfile::seedFile(const std::string& file, std::string_view bytes) {
    files_.addFile(file, bytes);
}

std::string FakeProfile::fileText(const std::string& file) const {
    auto bytes = files_.fileBytes(file);
    return bytes ? utf8(*bytes) : std::string{};
}

}  // namespace qm
