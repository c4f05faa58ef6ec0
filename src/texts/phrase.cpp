#include "texts/phrase.h"

namespace qm {

Phrase& Phrase::operator+=(Phrase next) {
    next_.push_back(std::move(next));
    return *this;
}

std::string Phrase::in(const LanguageTables& language) const {
    std::string text;
    if (named()) {
        std::vector<std::string> said;
        said.reserve(parts_.size());
        for (const Phrase& part : parts_) said.push_back(part.in(language));
        text = FillIn(TextIn(language, id_), said);
    } else {
        text = words_;
    }
    for (const Phrase& next : next_) text += next.in(language);
    return text;
}

}  // namespace qm
