#pragma once

// The one stand-in for the system's ARP request in every test: it answers
// as the test scripts it (per address, after a delay, or by throwing), or
// passes the call on to a real request; it records every call, can hold an
// answer back until the test lets it go, and hands out requests for code
// that makes its own (one per worker), all recorded here.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "lookup/arp_request.h"

namespace varnock::testing {

class ScriptedArpRequest final : public ArpRequest {
public:
    using Clock = std::chrono::steady_clock;

    ScriptedArpRequest() { calls_.reserve(256); }

    struct Reply {
        std::uint32_t status = arp_status::kNoAnswer;
        // Written to the answer buffer, never past the length the caller
        // announced (the buffer may be no larger).
        std::vector<std::uint8_t> bytes;
        // The length reported back; the number of bytes when not set.
        std::optional<std::uint32_t> length;
        std::chrono::milliseconds delay{0};
        // Runs before anything else; may throw, as a request that cannot get
        // a socket does.
        std::function<void()> before;
    };

    struct Call {
        Ipv4Address destination = 0;
        Ipv4Address source = 0;
        std::uint32_t requestedLength = 0;
        std::optional<std::uint32_t> status;  // nothing when the call threw
        Clock::time_point start;
    };

    // --- Set before use.
    Reply reply;                           // for any address not in `replies`
    std::map<std::string, Reply> replies;  // by dotted address, "192.0.2.2"
    std::unique_ptr<ArpRequest> passTo;    // when set, answers in place of the script
    std::function<void()> after;           // runs after each call, on every path

    // --- Read during or after use.
    std::vector<Call> Calls() const {
        const std::lock_guard lock(mutex_);
        return calls_;
    }
    std::size_t CallCount() const { return Calls().size(); }
    int MostInFlight() const {
        const std::lock_guard lock(mutex_);
        return mostInFlight_;
    }
    // The wait limit each request from MakeRequest was made with.
    std::vector<std::optional<std::chrono::milliseconds>> MaxWaits() const {
        const std::lock_guard lock(mutex_);
        return maxWaits_;
    }
    bool Holding() const {
        const std::lock_guard lock(mutex_);
        return holding_;
    }

    // Holds back the answer to the next call (only that one) until Release,
    // or for five seconds, so that a faulty caller fails its test rather
    // than hanging it.
    void Hold() {
        const std::lock_guard lock(mutex_);
        heldCall_ = calls_.size() + 1;
    }
    void Release() {
        {
            const std::lock_guard lock(mutex_);
            heldCall_ = 0;
        }
        released_.notify_all();
    }

    // A request of its own for code that makes one per worker; its calls
    // are answered and recorded here.
    std::unique_ptr<ArpRequest> MakeRequest(std::optional<std::chrono::milliseconds> maxWait) {
        {
            const std::lock_guard lock(mutex_);
            maxWaits_.push_back(maxWait);
        }
        return std::make_unique<Forwarder>(*this);
    }

    std::uint32_t Send(Ipv4Address destination, Ipv4Address source, void* answer,
                       std::uint32_t& answerLength) override {
        // No allocation on this path but the record's own, and none of that
        // for the first calls: tests count the allocations of what they call.
        const Reply* scripted = &reply;
        std::size_t index = 0;
        {
            std::unique_lock lock(mutex_);
            index = calls_.size();
            calls_.push_back({destination, source, answerLength, std::nullopt, Clock::now()});
            mostInFlight_ = std::max(mostInFlight_, ++inFlight_);
            if (!replies.empty()) {
                if (const auto found = replies.find(Dotted(destination)); found != replies.end()) {
                    scripted = &found->second;
                }
            }
            if (heldCall_ == index + 1) {
                holding_ = true;
                released_.wait_for(lock, std::chrono::seconds(5),
                                   [&] { return heldCall_ != index + 1; });
                holding_ = false;
            }
        }
        struct Finish {
            ScriptedArpRequest& self;
            ~Finish() {
                {
                    const std::lock_guard lock(self.mutex_);
                    --self.inFlight_;
                }
                if (self.after) {
                    self.after();
                }
            }
        } finish{*this};

        if (scripted->before) {
            scripted->before();
        }
        std::this_thread::sleep_for(scripted->delay);
        std::uint32_t status = 0;
        if (passTo) {
            status = passTo->Send(destination, source, answer, answerLength);
        } else {
            std::memcpy(answer, scripted->bytes.data(),
                        std::min<std::size_t>(scripted->bytes.size(), answerLength));
            answerLength =
                scripted->length.value_or(static_cast<std::uint32_t>(scripted->bytes.size()));
            status = scripted->status;
        }
        const std::lock_guard lock(mutex_);
        calls_[index].status = status;
        return status;
    }

private:
    struct Forwarder final : ArpRequest {
        explicit Forwarder(ScriptedArpRequest& owner) : script(owner) {}
        std::uint32_t Send(Ipv4Address destination, Ipv4Address source, void* answer,
                           std::uint32_t& length) override {
            return script.Send(destination, source, answer, length);
        }
        ScriptedArpRequest& script;
    };

    // Network order in, "a.b.c.d" out.
    static std::string Dotted(Ipv4Address address) {
        unsigned char bytes[4];
        std::memcpy(bytes, &address, sizeof bytes);
        return std::to_string(bytes[0]) + '.' + std::to_string(bytes[1]) + '.' +
               std::to_string(bytes[2]) + '.' + std::to_string(bytes[3]);
    }

    mutable std::mutex mutex_;
    std::condition_variable released_;
    std::vector<Call> calls_;
    std::vector<std::optional<std::chrono::milliseconds>> maxWaits_;
    std::size_t heldCall_ = 0;
    bool holding_ = false;
    int inFlight_ = 0;
    int mostInFlight_ = 0;
};

inline ScriptedArpRequest::Reply Answer(std::vector<std::uint8_t> bytes,
                                        std::chrono::milliseconds delay = {}) {
    return {arp_status::kOk, std::move(bytes), std::nullopt, delay, {}};
}
inline ScriptedArpRequest::Reply Fails(std::uint32_t status, std::chrono::milliseconds delay = {}) {
    return {status, {}, std::nullopt, delay, {}};
}

}  // namespace varnock::testing
