#include "web/site/answer_memo.h"

namespace varnock::web {

AnswerMemo& AnswerMemo::operator=(const AnswerMemo& other) {
    if (this != &other) {
        std::lock_guard lock(mutex_);
        answers_.clear();
        bytes_ = 0;
    }
    return *this;
}

std::shared_ptr<const HttpResponse> AnswerMemo::Find(const std::string& key) const {
    std::lock_guard lock(mutex_);
    const auto found = answers_.find(key);
    return found == answers_.end() ? nullptr : found->second;
}

std::shared_ptr<const HttpResponse> AnswerMemo::Keep(const std::string& key,
                                                     HttpResponse response) const {
    auto kept = std::make_shared<const HttpResponse>(std::move(response));
    const std::size_t size = key.size() + kept->body.size();
    if (size > kMostBytes / 4) {
        return kept;  // made for this request only
    }
    std::lock_guard lock(mutex_);
    if (answers_.size() >= kMostAnswers || bytes_ + size > kMostBytes) {
        answers_.clear();
        bytes_ = 0;
    }
    // Two threads may have made the same answer at once: the first kept wins.
    const auto [at, added] = answers_.try_emplace(key, kept);
    bytes_ += added ? size : 0;
    return at->second;
}

}  // namespace varnock::web
