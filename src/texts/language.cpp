#include "texts/language.h"

#include <atomic>

namespace qm {
namespace {

bool SameTag(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

const LanguageTables& Required(std::string_view tag) {
    if (const LanguageTables* found = FindLanguage(tag)) return *found;
    return *Languages().front();
}

std::atomic<const LanguageTables*>& Current() {
    static std::atomic<const LanguageTables*> current{&Required("zh-CN")};
    return current;
}

}  // namespace

const LanguageTables* FindLanguage(std::string_view tag) {
    for (const LanguageTables* language : Languages()) {
        if (SameTag(language->tag, tag)) return language;
    }
    return nullptr;
}

const LanguageTables& FallbackLanguage() { return Required("en"); }

const LanguageTables& ChooseLanguage(std::string_view settingTag, std::uint16_t uiLanguage) {
    if (const LanguageTables* named = FindLanguage(settingTag)) return *named;
    const std::uint16_t primary = uiLanguage & 0x3FF;
    for (const LanguageTables* language : Languages()) {
        if (language->primaryLanguage == primary) return *language;
    }
    return FallbackLanguage();
}

const LanguageTables& CurrentLanguage() { return *Current().load(); }

void SetCurrentLanguage(const LanguageTables& language) { Current().store(&language); }

std::string TextIn(const LanguageTables& language, TrayText id) {
    const auto i = static_cast<std::size_t>(id);
    return i < kTrayTextCount ? std::string(language.tray[i].text) : std::string();
}

std::string TextIn(const LanguageTables& language, SetupText id) {
    const auto i = static_cast<std::size_t>(id);
    return i < kSetupTextCount ? std::string(language.setup[i].text) : std::string();
}

std::string Text(TrayText id) { return TextIn(CurrentLanguage(), id); }

std::string Text(TrayText id, std::initializer_list<std::string_view> parts) {
    return FillIn(Text(id), parts);
}

std::string Text(SetupText id) { return TextIn(CurrentLanguage(), id); }

std::string Text(SetupText id, std::initializer_list<std::string_view> parts) {
    return FillIn(Text(id), parts);
}

}  // namespace qm
