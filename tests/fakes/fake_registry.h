#pragma once
// A registry tree per root and view (a 64-bit machine: kRegView32 reaches
// the 32-bit programs' tree) with case-insensitive key and value names,
// real handle bookkeeping and the system's status codes.
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fakes/fake_support.h"
#include "platform/registry.h"

namespace qm {

inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorInvalidHandle = 6;
inline constexpr long kErrorKeyDeleted = 1018;

class FakeRegistry : public Registry {
  public:
    long createKey(RegRoot root, const std::string& path, std::uint32_t access, Key& out) override;
    long openKey(RegRoot root, const std::string& path, std::uint32_t access, Key& out) override;
    void closeKey(Key key) override;
    long setValue(Key key, const std::string& name, std::uint32_t type,
                  const std::vector<std::uint8_t>& data) override;
    RegQueryResult queryValue(Key key, const std::string& name, std::uint32_t bufferSize) override;
    long deleteValue(Key key, const std::string& name) override;
    long deleteKey(RegRoot root, const std::string& path, std::uint32_t view) override;
    std::string expandEnvironment(const std::string& ansi) override;

    struct Value {
        std::uint32_t type = regtype::kNone;
        std::vector<std::uint8_t> data;
    };

    // Set-up and inspection; each creates the missing keys on the way.
    // `view` is 0 or kRegView32, as for the calls.
    void addKey(RegRoot root, const std::string& path, std::uint32_t view = 0);
    void putValue(RegRoot root, const std::string& path, const std::string& name,
                  std::uint32_t type, std::vector<std::uint8_t> data, std::uint32_t view = 0);
    // Text stored with its terminating NUL, as the system stores it.
    void putString(RegRoot root, const std::string& path, const std::string& name,
                   const std::string& ansi, std::uint32_t type = regtype::kSz,
                   std::uint32_t view = 0);
    void putDword(RegRoot root, const std::string& path, const std::string& name,
                  std::uint32_t value, std::uint32_t view = 0);
    [[nodiscard]] bool keyExists(RegRoot root, const std::string& path,
                                 std::uint32_t view = 0) const;
    [[nodiscard]] std::optional<Value> value(RegRoot root, const std::string& path,
                                             const std::string& name, std::uint32_t view = 0) const;
    // The stored text without its trailing NULs; empty when missing.
    [[nodiscard]] std::optional<std::string> stringValue(RegRoot root, const std::string& path,
                                                         const std::string& name,
                                                         std::uint32_t view = 0) const;

    // Keys opened or created and not closed yet.
    [[nodiscard]] std::size_t openKeyCount() const { return handles_.size(); }
    // closeKey calls with a handle that was not open.
    int badCloses = 0;

    // Variables for %NAME% expansion; names compare without case.
    std::map<std::string, std::string, LessNoCase> environment;
    // Roots where nothing may be created, changed or deleted and keys open
    // for reading only, as for a user without administrator rights.
    std::set<RegRoot> readOnlyRoots;

    FailSwitch failCreate, failOpen, failSet, failQuery, failDeleteValue, failDeleteKey, failExpand;
    long failStatus = kErrorAccessDenied;  // what a switched-off call answers

    // The buffer size of every queryValue call, in order.
    std::vector<std::uint32_t> queryBufferSizes;

  private:
    struct Node {
        std::uint64_t id;
        std::map<std::string, Value, LessNoCase> values;
    };
    // A root in one view.
    using TreeId = std::pair<RegRoot, bool>;
    static TreeId treeOf(RegRoot root, std::uint32_t accessOrView) {
        return {root, (accessOrView & kRegView32) != 0};
    }
    struct Handle {
        TreeId tree;
        std::string path;
        std::uint64_t id;
        std::uint32_t access;
    };
    using Tree = std::map<std::string, Node>;  // keyed by normalised path

    static std::string normalise(const std::string& path);
    Node& ensure(TreeId tree, const std::string& normalised);
    Key newHandle(TreeId tree, const std::string& normalised, std::uint32_t access);
    // The node behind an open handle; status explains a null.
    Node* nodeOf(Key key, long& status);
    [[nodiscard]] bool hasSubkeys(TreeId tree, const std::string& normalised) const;
    [[nodiscard]] bool exists(TreeId tree, const std::string& path) const;

    std::map<TreeId, Tree> trees_;
    std::map<Key, Handle> handles_;
    std::uint64_t nextId_ = 1;
    Key nextHandle_ = 0x100;
};

}  // namespace qm
