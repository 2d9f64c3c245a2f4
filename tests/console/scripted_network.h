#pragma once

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "console/address_arguments.h"
#include "lookup/arp_request.h"
#include "lookup/hardware_address_text.h"

namespace varnock::testing {

// A network as a test scripts it: each address answers (or not) after its
// own delay, from many threads at once; it records what it was asked.
class ScriptedNetwork {
public:
    using Clock = std::chrono::steady_clock;
    struct Reply {
        std::uint32_t status = arp_status::kNoAnswer;
        HardwareAddressBytes bytes;
        std::chrono::milliseconds delay{0};
        bool fails = false;  // Send throws, as when no socket can be had
    };

    // Set before a run starts.
    std::map<std::string, Reply> replies;

    std::unique_ptr<ArpRequest> MakeRequest(std::optional<std::chrono::milliseconds> maxWait) {
        std::lock_guard lock(mutex_);
        maxWaits.push_back(maxWait);
        return std::make_unique<Request>(*this);
    }

    // Read after the run.
    std::vector<std::optional<std::chrono::milliseconds>> maxWaits;  // one per request made
    std::vector<Clock::time_point> starts;                           // one per Send
    int mostInFlight = 0;

private:
    struct Request final : ArpRequest {
        explicit Request(ScriptedNetwork& owner) : network(owner) {}
        std::uint32_t Send(Ipv4Address destination, Ipv4Address, void* answer,
                           std::uint32_t& length) override {
            return network.Send(destination, answer, length);
        }
        ScriptedNetwork& network;
    };

    std::uint32_t Send(Ipv4Address destination, void* answer, std::uint32_t& length) {
        Reply reply;
        {
            std::lock_guard lock(mutex_);
            starts.push_back(Clock::now());
            mostInFlight = std::max(mostInFlight, ++inFlight_);
            if (const auto found = replies.find(console::DottedText(destination));
                found != replies.end()) {
                reply = found->second;
            }
        }
        std::this_thread::sleep_for(reply.delay);
        {
            std::lock_guard lock(mutex_);
            --inFlight_;
        }
        if (reply.fails) {
            throw std::runtime_error("no socket");
        }
        if (!reply.bytes.empty()) {
            std::memcpy(answer, reply.bytes.data(),
                        std::min<std::size_t>(reply.bytes.size(), length));
        }
        length = static_cast<std::uint32_t>(reply.bytes.size());
        return reply.status;
    }

    std::mutex mutex_;
    int inFlight_ = 0;
};

inline ScriptedNetwork::Reply Answer(HardwareAddressBytes bytes,
                                     std::chrono::milliseconds delay = {}) {
    return {arp_status::kOk, std::move(bytes), delay};
}
inline ScriptedNetwork::Reply Fails(std::uint32_t status, std::chrono::milliseconds delay = {}) {
    return {status, {}, delay};
}

}  // namespace varnock::testing
