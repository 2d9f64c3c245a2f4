#pragma once

#include <thread>

namespace varnock {

// Readies the system's font configuration on a thread of its own while the
// program connects to the display, so that the window's first text need not
// wait for it. Construct it first thing in main; it waits for the thread
// when it goes. Where the system has nothing to ready (Windows) it does
// nothing.
class FontWarmUp final {
public:
    FontWarmUp();
    ~FontWarmUp();
    FontWarmUp(const FontWarmUp&) = delete;
    FontWarmUp& operator=(const FontWarmUp&) = delete;

private:
    std::thread thread_;
};

}  // namespace varnock
