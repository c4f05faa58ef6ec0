#include "fakes/fake_file_system.h"

namespace qm {

std::string FakeFileSystem::normalise(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        char c = path[i] == '/' ? '\\' : path[i];
        // Doubled separators collapse, except the two that open a UNC path.
        if (c == '\\' && !out.empty() && out.back() == '\\' && out.size() > 1) continue;
        out += c;
    }
    out = lowerAscii(out);
    while (out.size() > 1 && out.back() == '\\' && !(out.size() == 3 && out[1] == ':')) {
        out.pop_back();
    }
    if (out.size() == 2 && out[1] == ':') out += '\\';  // "C:" means the root here
    return out;
}

std::string FakeFileSystem::parentOf(const std::string& normalisedPath) {
    std::size_t slash = normalisedPath.find_last_of('\\');
    if (slash == std::string::npos) return {};
    if (slash == 2 && normalisedPath[1] == ':') {
        return normalisedPath.size() > 3 ? normalisedPath.substr(0, 3) : std::string{};
    }
    return normalisedPath.substr(0, slash);
}

bool FakeFileSystem::hasFolder(const std::string& normalised) const {
    if (normalised.empty()) return false;
    if (assumeFoldersExist) return files_.count(normalised) == 0;
    return folders_.count(normalised) > 0;
}

bool FakeFileSystem::isUnder(const std::string& normalised,
                             const std::set<std::string, LessNoCase>& folders) const {
    for (const std::string& folder : folders) {
        std::string f = normalise(folder);
        if (normalised == f) return true;
        std::string prefix = f.back() == '\\' ? f : f + '\\';
        if (normalised.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
}

bool FakeFileSystem::fileExists(const std::string& path) {
    checkedPaths.push_back(path);
    return files_.count(normalise(path)) > 0;
}

bool FakeFileSystem::folderExists(const std::string& path) {
    checkedPaths.push_back(path);
    return hasFolder(normalise(path));
}

bool FakeFileSystem::isLocked(const std::string& normalised) const {
    for (const std::string& locked : lockedPaths) {
        if (normalise(locked) == normalised) return true;
    }
    return false;
}

bool FakeFileSystem::canWrite(const std::string& path) const {
    const std::string n = normalise(path);
    if (n.empty() || folders_.count(n) > 0) return false;
    return hasFolder(parentOf(n)) && !isLocked(n) && !isUnder(n, readOnlyFolders);
}

bool FakeFileSystem::canRead(const std::string& path) const {
    const std::string n = normalise(path);
    return files_.count(n) > 0 && !isLocked(n);
}

bool FakeFileSystem::appendBytes(const std::string& path, std::string_view bytes) {
    const bool ok = !failAppend.next() && canWrite(path);
    appends.push_back({path, std::string(bytes), ok});
    if (!ok) return false;
    File& file = files_[normalise(path)];
    if (file.path.empty()) file.path = path;
    file.bytes.append(bytes);
    return true;
}

bool FakeFileSystem::writeWholeFile(const std::string& path, std::string_view bytes) {
    if (!canWrite(path)) return false;
    File& file = files_[normalise(path)];
    if (file.path.empty()) file.path = path;
    file.bytes.assign(bytes);
    return true;
}

void FakeFileSystem::addFolder(const std::string& path) {
    for (std::string n = normalise(path); !n.empty(); n = parentOf(n)) folders_.insert(n);
}

void FakeFileSystem::addFile(const std::string& path, std::string_view bytes) {
    const std::string n = normalise(path);
    addFolder(parentOf(n));
    files_[n] = File{path, std::string(bytes)};
}

void FakeFileSystem::removeFile(const std::string& path) { files_.erase(normalise(path)); }

void FakeFileSystem::removeFolder(const std::string& path) {
    const std::string n = normalise(path);
    const std::string prefix = n.back() == '\\' ? n : n + '\\';
    auto below = [&](const std::string& p) {
        return p == n || p.compare(0, prefix.size(), prefix) == 0;
    };
    std::erase_if(files_, [&](const auto& entry) { return below(entry.first); });
    std::erase_if(folders_, below);
}

std::optional<std::string> FakeFileSystem::fileBytes(const std::string& path) const {
    auto it = files_.find(normalise(path));
    if (it == files_.end()) return std::nullopt;
    return it->second.bytes;
}

std::vector<std::string> FakeFileSystem::filePaths() const {
    std::vector<std::string> out;
    for (const auto& [key, file] : files_) out.push_back(file.path);
    return out;
}

std::optional<std::uint32_t> FakeFileSystem::volumeSerial(const std::string& root) {
    if (root.empty()) return std::nullopt;
    char letter = root[0];
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    const auto it = volumeSerials.find(letter);
    if (it == volumeSerials.end()) return std::nullopt;
    return it->second;
}

}  // namespace qm
