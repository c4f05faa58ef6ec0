#include "fakes/fake_registry.h"

namespace qm {
namespace {

constexpr std::uint32_t kQueryValue = 0x0001;
constexpr std::uint32_t kSetValue = 0x0002;
constexpr std::uint32_t kGenericAll = 0x10000000;
constexpr std::uint32_t kGenericRead = 0x80000000;
constexpr std::uint32_t kGenericWrite = 0x40000000;
// Rights that change a key or its values.
constexpr std::uint32_t kAnyWrite = kSetValue | 0x0004 /*create subkey*/ | 0x00010000 /*delete*/ |
                                    0x00040000 /*write DAC*/ | 0x00080000 /*write owner*/ |
                                    kGenericWrite | kGenericAll;

bool allows(std::uint32_t access, std::uint32_t right, std::uint32_t generic) {
    return (access & (right | generic | kGenericAll)) != 0;
}

}  // namespace

std::string FakeRegistry::normalise(const std::string& path) {
    std::string out;
    for (char c : lowerAscii(path)) {
        if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
        out += c;
    }
    if (!out.empty() && out.back() == '\\') out.pop_back();
    return out;
}

FakeRegistry::Node& FakeRegistry::ensure(TreeId id, const std::string& normalised) {
    Tree& tree = trees_[id];
    // Every key on the way exists too.
    for (std::size_t slash = normalised.find('\\'); slash != std::string::npos;
         slash = normalised.find('\\', slash + 1)) {
        auto [it, added] = tree.try_emplace(normalised.substr(0, slash));
        if (added) it->second.id = nextId_++;
    }
    auto [it, added] = tree.try_emplace(normalised);
    if (added) it->second.id = nextId_++;
    return it->second;
}

Registry::Key FakeRegistry::newHandle(TreeId tree, const std::string& normalised,
                                      std::uint32_t access) {
    Key key = nextHandle_;
    nextHandle_ += 4;
    handles_[key] = Handle{tree, normalised, ensure(tree, normalised).id, access};
    return key;
}

FakeRegistry::Node* FakeRegistry::nodeOf(Key key, long& status) {
    auto h = handles_.find(key);
    if (h == handles_.end()) {
        status = kErrorInvalidHandle;
        return nullptr;
    }
    Tree& tree = trees_[h->second.tree];
    auto node = tree.find(h->second.path);
    if (node == tree.end() || node->second.id != h->second.id) {
        status = kErrorKeyDeleted;
        return nullptr;
    }
    status = kErrorSuccess;
    return &node->second;
}

bool FakeRegistry::hasSubkeys(TreeId id, const std::string& normalised) const {
    auto tree = trees_.find(id);
    if (tree == trees_.end()) return false;
    const std::string prefix = normalised.empty() ? std::string{} : normalised + '\\';
    auto it = tree->second.lower_bound(prefix);
    if (it != tree->second.end() && it->first.empty()) ++it;  // the root is no subkey
    return it != tree->second.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

long FakeRegistry::createKey(RegRoot root, const std::string& path, std::uint32_t access,
                             Key& out) {
    out = 0;
    if (failCreate.next()) return failStatus;
    const std::string n = normalise(path);
    const TreeId tree = treeOf(root, access);
    if (readOnlyRoots.count(root) > 0 && (!exists(tree, path) || (access & kAnyWrite) != 0)) {
        return kErrorAccessDenied;
    }
    out = newHandle(tree, n, access);
    return kErrorSuccess;
}

long FakeRegistry::openKey(RegRoot root, const std::string& path, std::uint32_t access, Key& out) {
    out = 0;
    if (failOpen.next()) return failStatus;
    const TreeId tree = treeOf(root, access);
    if (!exists(tree, path)) return kErrorFileNotFound;
    if (readOnlyRoots.count(root) > 0 && (access & kAnyWrite) != 0) return kErrorAccessDenied;
    out = newHandle(tree, normalise(path), access);
    return kErrorSuccess;
}

void FakeRegistry::closeKey(Key key) {
    if (handles_.erase(key) == 0) ++badCloses;
}

long FakeRegistry::setValue(Key key, const std::string& name, std::uint32_t type,
                            const std::vector<std::uint8_t>& data) {
    if (failSet.next()) return failStatus;
    long status = kErrorSuccess;
    Node* node = nodeOf(key, status);
    if (!node) return status;
    if (!allows(handles_[key].access, kSetValue, kGenericWrite)) return kErrorAccessDenied;
    Value& v = node->values[name];
    v.type = type;
    v.data = data;
    return kErrorSuccess;
}

RegQueryResult FakeRegistry::queryValue(Key key, const std::string& name,
                                        std::uint32_t bufferSize) {
    queryBufferSizes.push_back(bufferSize);
    RegQueryResult result;
    if (failQuery.next()) {
        result.status = failStatus;
        return result;
    }
    Node* node = nodeOf(key, result.status);
    if (!node) return result;
    if (!allows(handles_[key].access, kQueryValue, kGenericRead)) {
        result.status = kErrorAccessDenied;
        return result;
    }
    auto it = node->values.find(name);
    if (it == node->values.end()) {
        result.status = kErrorFileNotFound;
        return result;
    }
    result.type = it->second.type;
    result.size = static_cast<std::uint32_t>(it->second.data.size());
    if (result.size > bufferSize) {
        result.status = kErrorMoreData;
        return result;
    }
    result.status = kErrorSuccess;
    result.data = it->second.data;
    return result;
}

long FakeRegistry::deleteValue(Key key, const std::string& name) {
    if (failDeleteValue.next()) return failStatus;
    long status = kErrorSuccess;
    Node* node = nodeOf(key, status);
    if (!node) return status;
    if (!allows(handles_[key].access, kSetValue, kGenericWrite)) return kErrorAccessDenied;
    return node->values.erase(name) > 0 ? kErrorSuccess : kErrorFileNotFound;
}

long FakeRegistry::deleteKey(RegRoot root, const std::string& path, std::uint32_t view) {
    if (failDeleteKey.next()) return failStatus;
    const std::string n = normalise(path);
    const TreeId tree = treeOf(root, view);
    if (n.empty() || !exists(tree, path)) return kErrorFileNotFound;
    if (readOnlyRoots.count(root) > 0 || hasSubkeys(tree, n)) return kErrorAccessDenied;
    trees_[tree].erase(n);
    return kErrorSuccess;
}

std::string FakeRegistry::expandEnvironment(const std::string& ansi) {
    if (failExpand.next()) return {};
    std::string out;
    std::size_t pos = 0;
    while (pos < ansi.size()) {
        std::size_t open = ansi.find('%', pos);
        std::size_t close = open == std::string::npos ? open : ansi.find('%', open + 1);
        if (close == std::string::npos) {
            out.append(ansi, pos, std::string::npos);
            break;
        }
        out.append(ansi, pos, open - pos);
        auto var = environment.find(std::string_view(ansi).substr(open + 1, close - open - 1));
        // An unknown name stays as written, both '%' included.
        out += var != environment.end() ? var->second : ansi.substr(open, close - open + 1);
        pos = close + 1;
    }
    return out;
}

void FakeRegistry::addKey(RegRoot root, const std::string& path, std::uint32_t view) {
    ensure(treeOf(root, view), normalise(path));
}

void FakeRegistry::putValue(RegRoot root, const std::string& path, const std::string& name,
                            std::uint32_t type, std::vector<std::uint8_t> data,
                            std::uint32_t view) {
    Value& v = ensure(treeOf(root, view), normalise(path)).values[name];
    v.type = type;
    v.data = std::move(data);
}

void FakeRegistry::putString(RegRoot root, const std::string& path, const std::string& name,
                             const std::string& ansi, std::uint32_t type, std::uint32_t view) {
    std::vector<std::uint8_t> data(ansi.begin(), ansi.end());
    data.push_back(0);
    putValue(root, path, name, type, std::move(data), view);
}

void FakeRegistry::putDword(RegRoot root, const std::string& path, const std::string& name,
                            std::uint32_t value, std::uint32_t view) {
    putValue(root, path, name, regtype::kDword,
             {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
              static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)},
             view);
}

bool FakeRegistry::exists(TreeId id, const std::string& path) const {
    const std::string n = normalise(path);
    if (n.empty()) return true;  // the root itself
    auto tree = trees_.find(id);
    return tree != trees_.end() && tree->second.count(n) > 0;
}

bool FakeRegistry::keyExists(RegRoot root, const std::string& path, std::uint32_t view) const {
    return exists(treeOf(root, view), path);
}

std::optional<FakeRegistry::Value> FakeRegistry::value(RegRoot root, const std::string& path,
                                                       const std::string& name,
                                                       std::uint32_t view) const {
    auto tree = trees_.find(treeOf(root, view));
    if (tree == trees_.end()) return std::nullopt;
    auto node = tree->second.find(normalise(path));
    if (node == tree->second.end()) return std::nullopt;
    auto it = node->second.values.find(name);
    if (it == node->second.values.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> FakeRegistry::stringValue(RegRoot root, const std::string& path,
                                                     const std::string& name,
                                                     std::uint32_t view) const {
    auto v = value(root, path, name, view);
    if (!v) return std::nullopt;
    std::string text(v->data.begin(), v->data.end());
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

}  // namespace qm
