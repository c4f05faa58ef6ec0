#include "fakes/fake_file_system.h"

#include <algorithm>

#include "platform/path_rules.h"
#include "platform/text_lines.h"

namespace qm {
namespace {

char upperLetter(char letter) {
    return (letter >= 'a' && letter <= 'z') ? static_cast<char>(letter - 'a' + 'A') : letter;
}

// The prefix every path inside the folder starts with.
std::string insidePrefix(const std::string& normalisedFolder) {
    return normalisedFolder.back() == '\\' ? normalisedFolder : normalisedFolder + '\\';
}

std::string lastPart(const std::string& path) {
    const std::size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string FakeFileSystem::normalise(std::string_view path) { return lowerAscii(tidy(path)); }

std::string FakeFileSystem::tidy(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        char c = path[i] == '/' ? '\\' : path[i];
        // Doubled separators collapse, except the two that open a UNC path.
        if (c == '\\' && !out.empty() && out.back() == '\\' && out.size() > 1) continue;
        out += c;
    }
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
    return hasFolder(parentOf(n)) && !isLocked(n) && !isUnder(n, readOnlyFolders) &&
           !isReadOnlyFile(n);
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
    // The stored form and the spelled one have the same length throughout.
    const std::string spelled = tidy(path);
    for (std::string n = normalise(path); !n.empty(); n = parentOf(n)) {
        folders_.insert(n);
        folderSpellings_.emplace(n, spelled.substr(0, n.size()));
    }
}

void FakeFileSystem::addFile(const std::string& path, std::string_view bytes) {
    const std::string n = normalise(path);
    addFolder(parentOf(tidy(path)));  // keeps the folders' spelling
    files_[n] = File{path, std::string(bytes)};
}

void FakeFileSystem::removeFile(const std::string& path) {
    files_.erase(normalise(path));
    attributes_.erase(normalise(path));
}

void FakeFileSystem::removeFolder(const std::string& path) {
    const std::string n = normalise(path);
    const std::string prefix = n.back() == '\\' ? n : n + '\\';
    auto below = [&](const std::string& p) {
        return p == n || p.compare(0, prefix.size(), prefix) == 0;
    };
    std::erase_if(files_, [&](const auto& entry) { return below(entry.first); });
    std::erase_if(folders_, below);
    std::erase_if(folderSpellings_, [&](const auto& entry) { return below(entry.first); });
    std::erase_if(attributes_, [&](const auto& entry) { return below(entry.first); });
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
    if (it == volumeSerials.end()) {
        const auto properties = driveProperties(letter);
        if (!properties || !properties->serialNumber) return std::nullopt;
        return static_cast<std::uint32_t>(*properties->serialNumber);
    }
    return it->second;
}

// Drives.

DriveProperties& FakeFileSystem::addDrive(char letter, int driveType, bool ready) {
    DriveProperties& drive = drives[upperLetter(letter)];
    drive.driveType = driveType;
    drive.isReady = ready;
    if (ready) addFolder(std::string{upperLetter(letter), ':', '\\'});
    return drive;
}

bool FakeFileSystem::driveExists(char letter) { return drives.count(upperLetter(letter)) > 0; }

std::uint32_t FakeFileSystem::mappedDrives() {
    std::uint32_t mapped = 0;
    for (const auto& [letter, drive] : drives) {
        if (letter >= 'A' && letter <= 'Z') mapped |= 1u << (letter - 'A');
    }
    return mapped;
}

int FakeFileSystem::driveType(char letter) {
    const auto it = drives.find(upperLetter(letter));
    return it == drives.end() ? kDriveKindUnknown : it->second.driveType;
}

std::optional<DriveProperties> FakeFileSystem::driveProperties(char letter) {
    const auto it = drives.find(upperLetter(letter));
    if (it == drives.end()) return std::nullopt;
    if (it->second.isReady) return it->second;
    DriveProperties notReady;
    notReady.driveType = it->second.driveType;
    return notReady;
}

// Attributes.

void FakeFileSystem::setAttributes(const std::string& path, int bits) {
    attributes_[normalise(path)] = bits;
}

int FakeFileSystem::attributesOf(const std::string& path) const {
    const auto it = attributes_.find(normalise(path));
    return it == attributes_.end() ? 0 : it->second;
}

bool FakeFileSystem::isReadOnlyFile(const std::string& normalised) const {
    const auto it = attributes_.find(normalised);
    return files_.count(normalised) > 0 && it != attributes_.end() &&
           (it->second & kAttributeReadOnly) != 0;
}

bool FakeFileSystem::setFolderAttributes(const std::string& path, int bits) {
    const std::string n = normalise(path);
    if (failSetAttributes.next() || !hasFolder(n) || isUnder(n, readOnlyFolders)) return false;
    constexpr int kSettable = kAttributeReadOnly | kAttributeHidden | kAttributeSystem;
    int& attributes = attributes_[n];
    attributes = (attributes & ~kSettable) | (bits & kSettable);
    return true;
}

std::optional<int> FakeFileSystem::folderAttributes(const std::string& path) {
    const std::string n = normalise(path);
    if (!hasFolder(n)) return std::nullopt;
    return attributesOf(path) & (kAttributeReadOnly | kAttributeHidden | kAttributeSystem);
}

// Deleting and creating.

bool FakeFileSystem::deleteFile(const std::string& path) {
    const std::string n = normalise(path);
    if (failDelete.next() || files_.count(n) == 0 || isLocked(n) || isUnder(n, readOnlyFolders) ||
        isReadOnlyFile(n)) {
        return false;
    }
    files_.erase(n);
    attributes_.erase(n);
    return true;
}

bool FakeFileSystem::deleteFileForced(const std::string& path) {
    const std::string n = normalise(path);
    if (failDelete.next() || files_.count(n) == 0 || isUnder(n, readOnlyFolders)) return false;
    // The attribute is cleared first; it stays cleared when the delete then fails.
    if (isReadOnlyFile(n)) attributes_[n] &= ~kAttributeReadOnly;
    if (isLocked(n)) return false;
    files_.erase(n);
    attributes_.erase(n);
    return true;
}

namespace {
constexpr char kAccessDenied[] = "拒绝访问。";
constexpr char kInUse[] = "另一个程序正在使用此文件,进程无法访问。";
constexpr char kNotFound[] = "系统找不到指定的文件。";
}  // namespace

FileOutcome FakeFileSystem::eraseFile(const std::string& path) {
    const std::string n = normalise(path);
    if (files_.count(n) == 0) return {false, kNotFound};
    if (isLocked(n)) return {false, kInUse};
    if (isUnder(n, runningImages) || isUnder(n, readOnlyFolders)) return {false, kAccessDenied};
    if (!deleteFileForced(path)) return {false, kAccessDenied};
    return {true, {}};
}

FileOutcome FakeFileSystem::eraseEmptyFolder(const std::string& path) {
    const std::string n = normalise(path);
    if (!hasFolder(n)) return {false, kNotFound};
    const std::string inside = insidePrefix(n);
    auto below = [&](const std::string& p) { return p.compare(0, inside.size(), inside) == 0; };
    const bool empty = std::none_of(files_.begin(), files_.end(),
                                    [&](const auto& entry) { return below(entry.first); }) &&
                       std::none_of(folders_.begin(), folders_.end(), below);
    if (!empty) return {false, "目录不是空的。"};
    if (failEraseFolder.next() || isUnder(n, readOnlyFolders)) return {false, kAccessDenied};
    folders_.erase(n);
    folderSpellings_.erase(n);
    attributes_.erase(n);
    return {true, {}};
}

FileOutcome FakeFileSystem::moveFile(const std::string& from, const std::string& to) {
    const std::string source = normalise(from);
    const std::string target = normalise(to);
    if (files_.count(source) == 0) return {false, kNotFound};
    if (source.substr(0, 2) != target.substr(0, 2))
        return {false, "系统无法将文件移到不同的磁盘驱动器。"};
    if (isLocked(source)) return {false, kInUse};
    if (failMove.next() || files_.count(target) > 0 || !hasFolder(parentOf(target)) ||
        isUnder(source, readOnlyFolders) || isUnder(target, readOnlyFolders)) {
        return {false, kAccessDenied};
    }
    File moved = files_.at(source);
    moved.path = to;
    files_.erase(source);
    files_[target] = moved;
    const auto attributes = attributes_.find(source);
    if (attributes != attributes_.end()) {
        attributes_[target] = attributes->second;
        attributes_.erase(attributes);
    }
    // Still running, under its new name.
    for (auto it = runningImages.begin(); it != runningImages.end(); ++it) {
        if (normalise(*it) == source) {
            runningImages.erase(it);
            runningImages.insert(to);
            break;
        }
    }
    return {true, {}};
}

bool FakeFileSystem::deleteAtRestart(const std::string& path) {
    if (failDeleteAtRestart.next()) return false;
    deletedAtRestart.push_back(path);
    return true;
}

bool FakeFileSystem::removeFolderTree(const std::string& path) {
    const std::string n = normalise(path);
    if (failRemoveTree.next() || !hasFolder(n) || isUnder(n, readOnlyFolders)) return false;
    const std::string prefix = insidePrefix(n);
    auto below = [&](const std::string& p) {
        return p == n || p.compare(0, prefix.size(), prefix) == 0;
    };
    std::erase_if(files_,
                  [&](const auto& entry) { return below(entry.first) && !isLocked(entry.first); });
    // A folder that still holds a file stays, and so do the folders above it.
    auto holdsFile = [&](const std::string& folder) {
        const std::string inside = insidePrefix(folder);
        return std::any_of(files_.begin(), files_.end(), [&](const auto& entry) {
            return entry.first.compare(0, inside.size(), inside) == 0;
        });
    };
    std::erase_if(folders_, [&](const std::string& f) { return below(f) && !holdsFile(f); });
    auto gone = [&](const std::string& p) {
        return below(p) && folders_.count(p) == 0 && files_.count(p) == 0;
    };
    std::erase_if(folderSpellings_, [&](const auto& entry) { return gone(entry.first); });
    std::erase_if(attributes_, [&](const auto& entry) { return gone(entry.first); });
    return !hasFolder(n);
}

bool FakeFileSystem::createEmptyTextFile(const std::string& path) {
    return !failCreateFile.next() && writeWholeFile(path, {});
}

bool FakeFileSystem::makeFolder(const std::string& path) {
    const std::string n = normalise(path);
    const std::string parent = parentOf(n);
    if (n.empty() || folders_.count(n) > 0 || files_.count(n) > 0 || parent.empty() ||
        !hasFolder(parent) || isUnder(n, readOnlyFolders)) {
        return false;
    }
    folders_.insert(n);
    folderSpellings_.emplace(n, tidy(path));
    return true;
}

bool FakeFileSystem::createFolder(const std::string& path) {
    return !failCreateFolder.next() && makeFolder(path);
}

// Copying.

bool FakeFileSystem::copyOneFile(const std::string& from, const std::string& to) {
    const std::string source = normalise(from);
    const std::string target = normalise(to);
    // The system refuses to replace a hidden file as it refuses a read-only one.
    if (!canRead(from) || !canWrite(to) ||
        (files_.count(target) > 0 && (attributesOf(to) & kAttributeHidden) != 0)) {
        return false;
    }
    File copy = files_.at(source);
    copy.path = files_.count(target) > 0 ? files_[target].path : to;
    files_[target] = copy;
    const auto attributes = attributes_.find(source);
    if (attributes != attributes_.end()) {
        attributes_[target] = attributes->second;
    } else {
        attributes_.erase(target);
    }
    return true;
}

CopyResult FakeFileSystem::copyFile(const std::string& from, const std::string& to) {
    if (!failCopy.next() && copyOneFile(from, to)) return {true, {}};
    if (files_.count(normalise(from)) == 0) return {false, "系统找不到指定的文件。"};
    if (isLocked(normalise(from)) || isLocked(normalise(to))) {
        return {false, "另一个程序正在使用此文件,进程无法访问。"};
    }
    return {false, "拒绝访问。"};
}

bool FakeFileSystem::copyFolder(const std::string& from, const std::string& to) {
    const std::string source = normalise(from);
    const std::string target = normalise(to);
    if (failCopy.next() || !hasFolder(source)) return false;
    const std::string sourcePrefix = insidePrefix(source);
    if (IsSameOrInsideFolder(from, to)) return false;  // a copy into itself
    if (folders_.count(target) == 0 && !hasFolder(target) && !makeFolder(to)) return false;

    // Every path below the source, re-rooted at the target with its spelling.
    const std::string targetSpelled = tidy(to);
    auto retarget = [&](const std::string& spelledBelow) {
        return insidePrefix(targetSpelled) + spelledBelow.substr(sourcePrefix.size());
    };
    std::vector<std::string> folders;
    for (const std::string& folder : folders_) {
        if (folder.compare(0, sourcePrefix.size(), sourcePrefix) != 0) continue;
        const auto spelled = folderSpellings_.find(folder);
        folders.push_back(spelled != folderSpellings_.end() ? spelled->second : folder);
    }
    std::vector<std::string> files;
    for (const auto& [key, file] : files_) {
        if (key.compare(0, sourcePrefix.size(), sourcePrefix) == 0) {
            files.push_back(tidy(file.path));
        }
    }
    // Parents sort before what is inside them.
    for (const std::string& folder : folders) {
        if (!hasFolder(normalise(retarget(folder))) && !makeFolder(retarget(folder))) return false;
    }
    for (const std::string& file : files) {
        if (!copyOneFile(file, retarget(file))) return false;
    }
    return true;
}

// Listing and reading.

std::vector<std::string> FakeFileSystem::childNames(const std::string& normalisedFolder,
                                                    bool folders) const {
    std::vector<std::string> names;
    if (folders) {
        for (const std::string& folder : folders_) {
            if (parentOf(folder) != normalisedFolder) continue;
            const auto spelled = folderSpellings_.find(folder);
            names.push_back(lastPart(spelled != folderSpellings_.end() ? spelled->second : folder));
        }
    } else {
        for (const auto& [key, file] : files_) {
            if (parentOf(key) == normalisedFolder) names.push_back(lastPart(tidy(file.path)));
        }
    }
    return names;
}

std::vector<std::string> FakeFileSystem::listSubfolders(const std::string& path) {
    const std::string n = normalise(path);
    if (failList.next() || !hasFolder(n)) return {};
    return childNames(n, true);
}

std::vector<std::string> FakeFileSystem::listFiles(const std::string& path) {
    const std::string n = normalise(path);
    if (failList.next() || !hasFolder(n)) return {};
    return childNames(n, false);
}

std::optional<std::vector<std::string>> FakeFileSystem::readTextLines(const std::string& path) {
    if (failRead.next() || !canRead(path)) return std::nullopt;
    std::vector<std::string> lines = SplitTextLines(files_.at(normalise(path)).bytes);
    if (codePage != nullptr) {
        for (std::string& line : lines) line = codePage->fromAnsi(line);
    }
    return lines;
}

bool FakeFileSystem::writeBytesAt(const std::string& path, std::uint64_t offset,
                                  std::string_view bytes) {
    if (failWriteAt.next() || !canWrite(path)) return false;
    File& file = files_[normalise(path)];
    if (file.path.empty()) file.path = path;
    const std::size_t at = static_cast<std::size_t>(offset);
    if (file.bytes.size() < at + bytes.size()) file.bytes.resize(at + bytes.size(), '\0');
    file.bytes.replace(at, bytes.size(), bytes);
    return true;
}

FileSystem::FileHandle FakeFileSystem::openForWriting(const std::string& path, bool append) {
    if (failOpenForWriting.next() || !canWrite(path)) return 0;
    File& file = files_[normalise(path)];
    if (file.path.empty()) file.path = path;
    if (!append) file.bytes.clear();
    static FileHandle next = 0x5000;
    openFiles[++next] = normalise(path);
    return next;
}

bool FakeFileSystem::writeFile(FileHandle handle, std::string_view bytes) {
    const auto open = openFiles.find(handle);
    if (open == openFiles.end() || failWriteFile.next()) return false;
    // Deleted while open: the writes go nowhere, as they would on a lost drive.
    const auto file = files_.find(open->second);
    if (file == files_.end()) return false;
    file->second.bytes.append(bytes);
    return true;
}

void FakeFileSystem::closeFile(FileHandle handle) { openFiles.erase(handle); }

std::optional<std::uint64_t> FakeFileSystem::fileSize(const std::string& path) {
    const auto file = files_.find(normalise(path));
    if (file == files_.end()) return std::nullopt;
    return file->second.bytes.size();
}

}  // namespace qm
