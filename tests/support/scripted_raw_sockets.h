#pragma once

// A stand-in for the raw method's sockets: every send is answered with the
// errno the test scripts (0: it went out) and recorded; nothing is ever sent
// nor received. Its descriptors are a socket pair's, never readable, and
// good for asking the system about interfaces.

#include <sys/socket.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

#include "lookup/linux/raw_neighbour_sockets.h"
#include "lookup/linux/unique_fd.h"

namespace varnock::testing {

class ScriptedRawSockets final : public linux_backend::RawNeighbourSockets {
public:
    struct Send {
        std::uint32_t interfaceIndex = 0;
        bool solicitation = false;  // IPv6; else an ARP request
    };

    // The errno of the nth send (counting from 0); 0 means it went out.
    std::function<int(std::size_t)> sendResult = [](std::size_t) { return 0; };

    ScriptedRawSockets() {
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, pair) != 0) {
            throw std::runtime_error("socketpair");
        }
        mine_ = linux_backend::UniqueFd(pair[0]);
        other_ = linux_backend::UniqueFd(pair[1]);
    }

    // The sends made so far; readable after the engine that owns these is
    // gone, through the pointer handed out before.
    const std::vector<Send>& Sends() const { return sends_; }

    int ArpFd() const override { return mine_.Get(); }
    int SendArpRequest(std::uint32_t interfaceIndex,
                       const linux_backend::packets::ArpPacket&) override {
        return Record({interfaceIndex, false});
    }
    std::optional<linux_backend::ArpSocket::Received> ReceiveArpReply() override {
        return std::nullopt;
    }

    bool HasNeighbourDiscovery() const override { return true; }
    int NeighbourDiscoveryFd() const override { return mine_.Get(); }
    int SendSolicitation(std::uint32_t interfaceIndex, const linux_backend::packets::Ipv6Bytes&,
                         const linux_backend::packets::HardwareAddress&) override {
        return Record({interfaceIndex, true});
    }
    std::optional<linux_backend::NeighbourDiscoverySocket::Received> ReceiveAdvertisement()
        override {
        return std::nullopt;
    }

private:
    int Record(Send send) {
        const int result = sendResult(sends_.size());
        sends_.push_back(send);
        return result;
    }

    linux_backend::UniqueFd mine_;
    linux_backend::UniqueFd other_;
    std::vector<Send> sends_;
};

}  // namespace varnock::testing
