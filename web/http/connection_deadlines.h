#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace varnock::web {

// libmicrohttpd's own timeout counts only silence, so a client that sends
// its headers a byte a second would hold a connection for ever. This keeps,
// for every open connection, the time by which its next request must have
// arrived whole (from the connection's start, or from the previous answer),
// and a thread shuts down the socket of any connection past it; the library
// then sees the end of the stream and closes the connection itself.
class ConnectionDeadlines {
public:
    using Clock = std::chrono::steady_clock;

    explicit ConnectionDeadlines(std::chrono::milliseconds allowed);
    ~ConnectionDeadlines();
    ConnectionDeadlines(const ConnectionDeadlines&) = delete;
    ConnectionDeadlines& operator=(const ConnectionDeadlines&) = delete;

    // The library's notifications, keyed by its connection. Closed() comes
    // before the library closes the socket, so the thread never shuts down
    // a descriptor that has been reused.
    void Opened(const void* connection, int fd);
    void RequestArrived(const void* connection);
    void RequestAnswered(const void* connection);
    void Closed(const void* connection);

private:
    struct Entry {
        int fd = -1;
        bool waiting = true;  // for a request's headers
        Clock::time_point deadline;
    };
    void Watch(std::stop_token stop);

    const std::chrono::milliseconds allowed_;
    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::unordered_map<const void*, Entry> entries_;
    std::jthread watcher_;
};

}  // namespace varnock::web
