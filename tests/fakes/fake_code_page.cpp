#include "fakes/fake_code_page.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace qm {
namespace {

// Length of the UTF-8 sequence a lead byte announces; 1 for a stray byte so
// the converter always moves on.
std::size_t utf8Length(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2) return 2;
    return 1;
}

class Iconv {
  public:
    Iconv(const std::string& from, const std::string& to)
        : cd_(iconv_open(to.c_str(), from.c_str())) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error("iconv cannot convert " + from + " to " + to);
        }
    }
    ~Iconv() { iconv_close(cd_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    iconv_t get() const { return cd_; }

  private:
    iconv_t cd_;
};

}  // namespace

std::string convertText(std::string_view text, const std::string& from, const std::string& to) {
    Iconv cd(from, to);
    const bool fromUtf8 = from == "UTF-8";
    std::string out;
    char buffer[256];
    std::size_t pos = 0;
    while (pos < text.size()) {
        char* in = const_cast<char*>(text.data() + pos);
        std::size_t inLeft = text.size() - pos;
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        std::size_t r = iconv(cd.get(), &in, &inLeft, &dst, &dstLeft);
        const int error = errno;
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        pos = text.size() - inLeft;
        if (r != static_cast<std::size_t>(-1) || error == E2BIG) continue;
        // EILSEQ or EINVAL: one character the other side lacks, or a broken
        // or cut sequence. Replace it and carry on after it.
        std::size_t skip = 1;
        std::size_t marks = 1;
        if (fromUtf8) {
            const std::size_t want = utf8Length(static_cast<unsigned char>(text[pos]));
            while (skip < want && pos + skip < text.size() &&
                   (static_cast<unsigned char>(text[pos + skip]) & 0xC0) == 0x80) {
                ++skip;
            }
            // A character beyond 16 bits travels as two UTF-16 units, and
            // the system marks each.
            if (want == 4 && skip == 4) marks = 2;
        } else if (static_cast<unsigned char>(text[pos]) >= 0x81 && pos + 1 < text.size() &&
                   error == EILSEQ && static_cast<unsigned char>(text[pos + 1]) >= 0x40) {
            skip = 2;  // a well-formed pair the code page leaves unassigned
        }
        out.append(marks, '?');
        pos += std::min(skip, text.size() - pos);
        iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

FakeCodePage::FakeCodePage(std::string ansiCharset)
    : charset_(std::move(ansiCharset)), doubleByte_(charset_ == "CP936" || charset_ == "GBK") {}

std::string FakeCodePage::toAnsi(std::string_view utf8) {
    if (failToAnsi.next()) return {};
    return convertText(utf8, "UTF-8", charset_);
}

std::string FakeCodePage::fromAnsi(std::string_view ansi) {
    if (failFromAnsi.next()) return {};
    return convertText(ansi, charset_, "UTF-8");
}

std::size_t FakeCodePage::bytesIn936(std::string_view utf8) {
    return convertText(utf8, "UTF-8", "CP936").size();
}

bool FakeCodePage::holds(std::string_view utf8) {
    return convertText(convertText(utf8, "UTF-8", charset_), charset_, "UTF-8") == utf8;
}

bool FakeCodePage::isLeadByte(unsigned char byte) const {
    return doubleByte_ && byte >= 0x81 && byte <= 0xFE;
}

}  // namespace qm
