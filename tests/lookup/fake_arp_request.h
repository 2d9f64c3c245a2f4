#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "lookup/arp_request.h"

namespace varnock::testing {

// Answers with what the test gives it and records what it was asked.
class FakeArpRequest : public ArpRequest {
public:
    std::uint32_t status = arp_status::kOk;
    std::vector<std::uint8_t> reply;  // written to the answer buffer
    std::uint32_t reportedLength = 6;
    std::function<void()> before;  // runs first; may throw

    int calls = 0;
    Ipv4Address lastDestination = 0;
    Ipv4Address lastSource = 0;
    std::uint32_t lastRequestedLength = 0;

    std::uint32_t Send(Ipv4Address destination, Ipv4Address source, void* answer,
                       std::uint32_t& answerLength) override {
        ++calls;
        lastDestination = destination;
        lastSource = source;
        lastRequestedLength = answerLength;
        if (before) {
            before();
        }
        // Never more than the caller announced: the buffer may be no larger.
        if (!reply.empty()) {
            std::memcpy(answer, reply.data(), std::min<std::size_t>(reply.size(), answerLength));
        }
        answerLength = reportedLength;
        return status;
    }
};

}  // namespace varnock::testing
