#pragma once
// INI files kept as bytes in a FakeFileSystem and read back the way the
// system's profile functions read them: sections and keys case-insensitive,
// the first of duplicates wins, blanks around keys and values and one pair of
// enclosing quotes dropped, lines ending in CR LF, LF or CR.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fakes/fake_code_page.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_support.h"
#include "platform/profile.h"

namespace qm {

class FakeProfile : public Profile {
  public:
    // Files live in a file system of its own in which every folder exists,
    // and hold the UTF-8 bytes they are given.
    FakeProfile();
    // Files live in `files`, so writes need the file's folder there, and
    // other code sees the file. With a code page the file holds ANSI bytes.
    explicit FakeProfile(FakeFileSystem& files, FakeCodePage* codePage = nullptr);

    std::string getString(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& fallback,
                          std::size_t bufferSize) override;
    bool writeString(const std::string& file, const std::string& section, const std::string& key,
                     const std::string& value) override;

    // Puts raw bytes in place of the file (garbage, huge lines, any encoding).
    void seedFile(const std::string& file, std::string_view bytes);
    // The file's bytes, converted to UTF-8 when a code page is attached;
    // empty when the file does not exist.
    [[nodiscard]] std::string fileText(const std::string& file) const;
    [[nodiscard]] FakeFileSystem& files() { return files_; }

    FailSwitch failReads;  // a failed read answers the fallback
    FailSwitch failWrites;

    struct Read {
        std::string file, section, key;
    };
    struct Write {
        std::string file, section, key, value;
        bool succeeded;
    };
    std::vector<Read> reads;
    std::vector<Write> writes;

  private:
    // The value's bytes in the caller's code page; empty when the file,
    // section or key is missing.
    [[nodiscard]] std::optional<std::string> lookUp(const std::string& file,
                                                    const std::string& section,
                                                    const std::string& key) const;
    std::string ansi(std::string_view utf8) const;
    std::string utf8(std::string_view ansi) const;
    // The longest start of `text` that fits `limit` bytes without cutting a
    // two-byte character.
    std::string fitBytes(std::string_view text, std::size_t limit) const;

    std::unique_ptr<FakeFileSystem> ownFiles_;
    FakeFileSystem& files_;
    FakeCodePage* codePage_;
};

}  // namespace qm
