#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "web/http/http_message.h"

namespace varnock::web {

// The answers made from one snapshot, kept for the next request that asks
// for the same path and query: a snapshot never changes, so neither do they.
// Bounded in count and bytes (past either, it starts over); any thread may
// use it. A copy starts empty: answers belong to the snapshot they were made
// from.
class AnswerMemo {
public:
    AnswerMemo() = default;
    AnswerMemo(const AnswerMemo&) {}
    AnswerMemo& operator=(const AnswerMemo&);

    std::shared_ptr<const HttpResponse> Find(const std::string& key) const;
    // `response`, kept under `key` when it is not too large.
    std::shared_ptr<const HttpResponse> Keep(const std::string& key, HttpResponse response) const;

    static constexpr std::size_t kMostAnswers = 256;
    static constexpr std::size_t kMostBytes = 64 * 1024 * 1024;

private:
    mutable std::mutex mutex_;
    mutable std::map<std::string, std::shared_ptr<const HttpResponse>> answers_;
    mutable std::size_t bytes_ = 0;
};

}  // namespace varnock::web
