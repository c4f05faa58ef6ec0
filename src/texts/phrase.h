#pragma once
// A text of the tray program that can still be said in any language: a
// named text with its parts filled in, then what follows it. The log keeps
// it so until it knows which language the file can hold.
#include <initializer_list>
#include <string>
#include <vector>

#include "texts/language.h"
#include "texts/tray_texts.h"

namespace qm {

// Words that are the same in every language: names, numbers, paths.
struct Words {
    std::string text;
};

class Phrase {
  public:
    Phrase(TrayText id) : id_(id) {}  // NOLINT: a text's name is a phrase
    Phrase(TrayText id, std::initializer_list<Phrase> parts) : id_(id), parts_(parts) {}
    Phrase(Words words) : words_(std::move(words.text)) {}  // NOLINT: so are words

    // This phrase followed by `next` (a suffix, a second sentence).
    Phrase& operator+=(Phrase next);
    friend Phrase operator+(Phrase a, Phrase b) { return a += std::move(b); }

    std::string in(const LanguageTables& language) const;
    // In the program's language.
    std::string str() const { return in(CurrentLanguage()); }

  private:
    bool named() const { return id_ != TrayText::Count; }

    TrayText id_ = TrayText::Count;
    std::string words_;
    std::vector<Phrase> parts_;
    std::vector<Phrase> next_;
};

}  // namespace qm
