#include "drives/blocker_search.h"

#include <algorithm>

#include "texts/tray_texts.h"

namespace qm {
namespace {

class FirstAnswerSearch final : public BlockerSearch {
  public:
    FirstAnswerSearch(const std::vector<BlockerFinder*>& finders, EventLoop& loop,
                      std::uint32_t shareMs, const BlockerQuery& query)
        : finders_(finders), loop_(loop), shareMs_(shareMs), query_(query) {
        startNext();
    }

    bool running() override {
        advance();
        return current_ != nullptr;
    }

    std::vector<Blocker> found() override { return current_ ? current_->found() : answer_; }

    [[nodiscard]] bool started() const { return current_ != nullptr; }

  private:
    void startNext() {
        while (!current_ && next_ < finders_.size()) {
            current_ = finders_[next_++]->start(query_);
            startedAt_ = loop_.tickCount();
        }
    }

    void advance() {
        while (current_) {
            const bool last = next_ >= finders_.size();
            if (current_->running() && (last || loop_.tickCount() - startedAt_ < shareMs_)) return;
            std::vector<Blocker> got = current_->found();
            current_.reset();
            if (!got.empty()) {
                answer_ = std::move(got);
                return;
            }
            startNext();
        }
    }

    std::vector<BlockerFinder*> finders_;
    EventLoop& loop_;
    std::uint32_t shareMs_;
    BlockerQuery query_;
    std::size_t next_ = 0;
    std::unique_ptr<BlockerSearch> current_;
    std::uint32_t startedAt_ = 0;
    std::vector<Blocker> answer_;
};

class AllAnswersSearch final : public BlockerSearch {
  public:
    AllAnswersSearch(const std::vector<BlockerFinder*>& finders, const BlockerQuery& query) {
        for (BlockerFinder* finder : finders) {
            auto search = finder->start(query);
            if (search) {
                searches_.push_back(std::move(search));
            } else {
                allStarted_ = false;
            }
        }
    }

    bool running() override {
        return std::any_of(searches_.begin(), searches_.end(),
                           [](const auto& s) { return s->running(); });
    }
    std::vector<Blocker> found() override {
        std::vector<Blocker> all;
        for (const auto& s : searches_) {
            for (Blocker& b : s->found()) AddBlocker(all, std::move(b));
        }
        return all;
    }
    bool exhaustive() override {
        return allStarted_ && std::all_of(searches_.begin(), searches_.end(),
                                          [](const auto& s) { return s->exhaustive(); });
    }
    [[nodiscard]] bool started() const { return !searches_.empty(); }

  private:
    std::vector<std::unique_ptr<BlockerSearch>> searches_;
    bool allStarted_ = true;
};

}  // namespace

std::unique_ptr<BlockerSearch> AllAnswersFinder::start(const BlockerQuery& query) {
    auto search = std::make_unique<AllAnswersSearch>(finders_, query);
    if (!search->started()) return nullptr;
    return search;
}

std::unique_ptr<BlockerSearch> FirstAnswerFinder::start(const BlockerQuery& query) {
    auto search = std::make_unique<FirstAnswerSearch>(finders_, loop_, shareMs_, query);
    if (!search->started()) return nullptr;
    return search;
}

std::vector<Blocker> FindBlockers(BlockerFinder& finder, EventLoop& loop, const BlockerQuery& query,
                                  std::uint32_t limitMs) {
    if (loop.quitRequested()) return {};
    const std::unique_ptr<BlockerSearch> search = finder.start(query);
    if (!search) return {};
    const std::uint32_t start = loop.tickCount();
    // Messages run meanwhile: a click, a device change or another eject
    // may come in here. The search is ours alone, so none of them can end it.
    while (search->running() && !loop.quitRequested()) {
        const std::uint32_t spent = loop.tickCount() - start;
        if (spent >= limitMs) break;
        loop.waitForMessage(std::min(kBlockerPollMs, limitMs - spent));
        loop.pump();
    }
    return search->found();
}

Phrase BlockerListText(const std::vector<Blocker>& blockers, std::size_t most) {
    const std::size_t shown = most == 0 ? blockers.size() : std::min(most, blockers.size());
    std::string text;
    for (std::size_t i = 0; i < shown; ++i) {
        if (i > 0) text += ", ";
        text += blockers[i].imageName + " (" + std::to_string(blockers[i].processId) + ")";
    }
    Phrase said{Words{text}};
    if (shown < blockers.size()) said += TrayText::BlockersMore;
    return said;
}

}  // namespace qm
