#include "lookup/engine_arp_request.h"

#include <cstring>
#include <system_error>

namespace varnock {

std::uint32_t EngineArpRequest::Send(Ipv4Address destination, Ipv4Address source, void* answer,
                                     std::uint32_t& answerLength) {
    if (answer == nullptr) {
        return arp_status::kInvalidParameter;
    }
    NeighbourQuery query;
    query.address = IpAddress::V4(destination);
    query.source = source;
    query.maxWait = maxWait_;
    const NeighbourAnswer found = ResolveNow(*engine_, query);
    if (found.status == arp_status::kSystemError) {
        // The contract's own way to say that the system could not be asked.
        throw std::system_error(std::make_error_code(std::errc::io_error), found.systemError);
    }
    if (found.status != arp_status::kOk) {
        return found.status;
    }
    // Never a truncated answer.
    if (found.hardwareAddress.size() > answerLength) {
        return arp_status::kBufferTooSmall;
    }
    if (!found.hardwareAddress.empty()) {
        std::memcpy(answer, found.hardwareAddress.data(), found.hardwareAddress.size());
    }
    answerLength = static_cast<std::uint32_t>(found.hardwareAddress.size());
    return arp_status::kOk;
}

// The engine is made at the first lookup, not when the window starts.
std::unique_ptr<ArpRequest> MakeSystemArpRequest(std::optional<std::chrono::milliseconds> maxWait) {
    class LazyRequest final : public ArpRequest {
    public:
        explicit LazyRequest(std::optional<std::chrono::milliseconds> maxWait)
            : maxWait_(maxWait) {}
        std::uint32_t Send(Ipv4Address destination, Ipv4Address source, void* answer,
                           std::uint32_t& answerLength) override {
            if (!request_) {
                request_ = std::make_unique<EngineArpRequest>(
                    MakeSystemNeighbourEngine(ResolverMode::kLive), maxWait_);
            }
            return request_->Send(destination, source, answer, answerLength);
        }

    private:
        std::optional<std::chrono::milliseconds> maxWait_;
        std::unique_ptr<EngineArpRequest> request_;
    };
    return std::make_unique<LazyRequest>(maxWait);
}

}  // namespace varnock
