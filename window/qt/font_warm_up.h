#pragma once

#include <thread>

namespace varnock {

// Readies the system's font configuration on a thread of its own while the
// program connects to the display, so that the window's first text need not
// wait for it. Construct it first thing in main and call Wait() before the
// first font is used: were the program to ask for fonts while the thread is
// still reading, both would read the whole configuration. Where the system
// has nothing to ready (Windows) it does nothing.
class FontWarmUp final {
public:
    FontWarmUp();
    ~FontWarmUp();

    // Returns when the configuration is ready. Later calls return at once.
    void Wait();
    FontWarmUp(const FontWarmUp&) = delete;
    FontWarmUp& operator=(const FontWarmUp&) = delete;

private:
    std::thread thread_;
};

}  // namespace varnock
