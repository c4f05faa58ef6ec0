#include "fakes/fake_shell.h"

namespace qm {

std::uint32_t recordField(const NotifyIconRecord& record, std::size_t offset) {
    return static_cast<std::uint32_t>(record[offset]) |
           static_cast<std::uint32_t>(record[offset + 1]) << 8 |
           static_cast<std::uint32_t>(record[offset + 2]) << 16 |
           static_cast<std::uint32_t>(record[offset + 3]) << 24;
}

std::string recordText(const NotifyIconRecord& record, std::size_t offset, std::size_t length) {
    std::string text;
    for (std::size_t i = offset; i < offset + length && record[i] != 0; ++i) {
        text += static_cast<char>(record[i]);
    }
    return text;
}

bool FakeShell::notifyIcon(std::uint32_t message, const NotifyIconRecord& record,
                           const NotifyIconTexts& texts) {
    const auto key = std::make_pair(recordField(record, notifyfield::kWindow),
                                    recordField(record, notifyfield::kId));
    const bool shown = icons.count(key) > 0;
    // The shell refuses to add an icon twice or to change or remove a missing one.
    bool ok = !failNotify.next() && message <= kNimDelete && (message == kNimAdd) != shown;
    if (ok && message == kNimDelete) icons.erase(key);
    if (ok && message != kNimDelete) icons[key] = record;
    notifyCalls.push_back({message, record, ok, texts});
    return ok;
}

void FakeShell::setForegroundWindow(WindowId window) { foregroundCalls.push_back(window); }

std::uint32_t FakeShell::registerWindowMessage(const std::string& name) {
    auto [it, added] = registeredMessages.try_emplace(
        name, 0xC000u + static_cast<std::uint32_t>(registeredMessages.size()));
    return it->second;
}

bool FakeShell::shellOpen(const std::string& target, int showState) {
    const bool ok = !failOpen.next();
    if (ok) opened.push_back({target, showState});
    return ok;
}

int FakeShell::messageBox(const std::string& text, const std::string& title,
                          std::uint32_t style) {
    boxes.push_back({text, title, style});
    if (whileBoxShown) whileBoxShown();
    return boxAnswer;
}

}  // namespace qm
