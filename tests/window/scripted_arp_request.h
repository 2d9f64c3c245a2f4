#pragma once

// An ArpRequest that answers as a test tells it to, counts what it was
// asked, and can hold its answer back until the test lets it go.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <system_error>
#include <vector>

#include "lookup/arp_request.h"

class ScriptedArpRequest final : public varnock::ArpRequest {
public:
    enum class Behaviour { kAnswer, kFail, kThrowSystemError, kThrowOther };

    // Set before the command runs.
    Behaviour behaviour = Behaviour::kAnswer;
    std::vector<std::uint8_t> answer{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

    // Read after the command (or, for calls, during it).
    std::atomic<int> calls{0};
    std::atomic<bool> holding{false};  // a held call is waiting for Release
    varnock::Ipv4Address lastDestination = 0;
    varnock::Ipv4Address lastSource = 0xFFFFFFFF;

    // Holds back the answer to the next call (only that one) until Release,
    // or for five seconds, so that a faulty window fails the test rather
    // than hanging it.
    void Hold() {
        const std::lock_guard lock(mutex_);
        held_ = true;
        heldCall_ = calls + 1;
    }
    void Release() {
        {
            const std::lock_guard lock(mutex_);
            held_ = false;
        }
        released_.notify_all();
    }

    std::uint32_t Send(varnock::Ipv4Address destination, varnock::Ipv4Address source, void* buffer,
                       std::uint32_t& answerLength) override {
        lastDestination = destination;
        lastSource = source;
        const int call = ++calls;
        {
            std::unique_lock lock(mutex_);
            holding = held_ && call == heldCall_;
            released_.wait_for(lock, std::chrono::seconds(5),
                               [&] { return !held_ || call != heldCall_; });
            holding = false;
        }
        switch (behaviour) {
            case Behaviour::kAnswer:
                std::memcpy(buffer, answer.data(), answer.size());
                answerLength = static_cast<std::uint32_t>(answer.size());
                return varnock::arp_status::kOk;
            case Behaviour::kFail:
                return varnock::arp_status::kNoAnswer;
            case Behaviour::kThrowSystemError:
                throw std::system_error(std::make_error_code(std::errc::too_many_files_open));
            case Behaviour::kThrowOther:
                throw 42;
        }
        return varnock::arp_status::kNoAnswer;
    }

private:
    std::mutex mutex_;
    std::condition_variable released_;
    bool held_ = false;
    int heldCall_ = 0;
};
