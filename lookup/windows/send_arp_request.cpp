// winsock2.h must come before windows.h, and iphlpapi.h needs both.
// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include "lookup/arp_request.h"

namespace varnock {
namespace {

// SendARP already has the interface's contract: it blocks until the answer
// or the system's time-out and returns a Windows error code, which
// arp_status shares. So this only adapts the types.
class SendArpRequest final : public ArpRequest {
public:
    std::uint32_t Send(Ipv4Address destination, Ipv4Address source, void* answer,
                       std::uint32_t& answerLength) override {
        // ULONG is 32 bits on every Windows, but a distinct type from
        // std::uint32_t for the compiler.
        ULONG length = answerLength;
        const DWORD status = SendARP(destination, source, answer, &length);
        answerLength = length;
        return status;
    }
};

}  // namespace

// SendARP has no time limit of its own to set: Windows' time-out decides.
std::unique_ptr<ArpRequest> MakeSystemArpRequest(std::optional<std::chrono::milliseconds>) {
    return std::make_unique<SendArpRequest>();
}

}  // namespace varnock
