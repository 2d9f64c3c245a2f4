#include "web/http/connection_deadlines.h"

#include <sys/socket.h>

namespace varnock::web {

ConnectionDeadlines::ConnectionDeadlines(std::chrono::milliseconds allowed)
    : allowed_(allowed), watcher_([this](std::stop_token stop) { Watch(stop); }) {}

ConnectionDeadlines::~ConnectionDeadlines() {
    watcher_.request_stop();
    watcher_.join();
}

void ConnectionDeadlines::Opened(const void* connection, int fd) {
    const std::lock_guard lock(mutex_);
    entries_[connection] = Entry{fd, true, Clock::now() + allowed_};
}

void ConnectionDeadlines::RequestArrived(const void* connection) {
    const std::lock_guard lock(mutex_);
    if (const auto found = entries_.find(connection); found != entries_.end()) {
        found->second.waiting = false;
    }
}

void ConnectionDeadlines::RequestAnswered(const void* connection) {
    const std::lock_guard lock(mutex_);
    if (const auto found = entries_.find(connection); found != entries_.end()) {
        found->second.waiting = true;
        found->second.deadline = Clock::now() + allowed_;
    }
}

void ConnectionDeadlines::Closed(const void* connection) {
    const std::lock_guard lock(mutex_);
    entries_.erase(connection);
}

void ConnectionDeadlines::Watch(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        const auto now = Clock::now();
        for (auto& [connection, entry] : entries_) {
            if (entry.waiting && entry.deadline <= now && entry.fd >= 0) {
                ::shutdown(entry.fd, SHUT_RDWR);
                entry.fd = -1;  // once is enough; the library closes it
            }
        }
        // A second's granularity is plenty for a limit of seconds.
        wake_.wait_for(lock, stop, std::chrono::seconds(1), [] { return false; });
    }
}

}  // namespace varnock::web
