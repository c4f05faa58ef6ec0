#include "core/tray_icon.h"

#include <cstring>

namespace qm {
namespace {

void put32(NotifyIconRecord& r, std::size_t offset, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) r[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void putText(NotifyIconRecord& r, std::size_t offset, std::size_t size, const std::string& ansi) {
    std::memcpy(r.data() + offset, ansi.data(), std::min(ansi.size(), size - 1));
}

std::size_t utf8CharLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 1;
}

}  // namespace

std::string AnsiPrefix(CodePage& codePage, const std::string& utf8, std::size_t maxBytes) {
    std::string fitted;
    std::size_t used = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t n = std::min(utf8CharLength(static_cast<unsigned char>(utf8[i])),
                                       utf8.size() - i);
        const std::string ansi = codePage.toAnsi(std::string_view(utf8).substr(i, n));
        if (used + ansi.size() > maxBytes) break;
        fitted += ansi;
        used += ansi.size();
        i += n;
    }
    return fitted;
}

NotifyIconRecord BuildNotifyIconRecord(CodePage& codePage, WindowId aHwnd, IconId aIcon,
                                       const std::string& aTrayTIP, const std::string& aContent,
                                       const std::string& aTitle, std::uint32_t aFlag,
                                       std::uint32_t aShowType) {
    NotifyIconRecord r{};
    put32(r, notifyfield::kSize, static_cast<std::uint32_t>(r.size()));
    put32(r, notifyfield::kWindow, static_cast<std::uint32_t>(aHwnd));
    put32(r, notifyfield::kId, 1);
    put32(r, notifyfield::kFlags, aFlag);
    put32(r, notifyfield::kCallbackMessage, kTrayCallbackMsg);
    put32(r, notifyfield::kIcon, static_cast<std::uint32_t>(aIcon));
    putText(r, notifyfield::kTip, notifyfield::kTipSize, AnsiPrefix(codePage, aTrayTIP, notifyfield::kTipSize - 1));
    put32(r, notifyfield::kState, 0);
    put32(r, notifyfield::kStateMask, 0);
    putText(r, notifyfield::kInfo, notifyfield::kInfoSize, AnsiPrefix(codePage, aContent, notifyfield::kInfoSize - 1));
    put32(r, notifyfield::kTimeout, 1000);
    putText(r, notifyfield::kInfoTitle, notifyfield::kInfoTitleSize,
            AnsiPrefix(codePage, aTitle, notifyfield::kInfoTitleSize - 1));
    put32(r, notifyfield::kInfoFlags, aShowType);
    return r;
}

cToolTip::~cToolTip() {
    if (filled_) shell_.notifyIcon(kNimDelete, record_);
}

void cToolTip::AddTrayAndInfo(WindowId aHwnd, IconId aIcon, const std::string& aTrayTIP,
                              const std::string& aContent, const std::string& aTitle,
                              std::uint32_t aFlag, std::uint32_t aShowType) {
    record_ = BuildNotifyIconRecord(codePage_, aHwnd, aIcon, aTrayTIP, aContent, aTitle, aFlag,
                                    aShowType);
    filled_ = true;
    shell_.notifyIcon(kNimAdd, record_);
}

}  // namespace qm
