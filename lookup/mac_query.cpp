#include "lookup/mac_query.h"

#include <array>
#include <cstring>

#include "lookup/address_text.h"
#include "lookup/hardware_address_text.h"

namespace varnock {
namespace {

constexpr std::uint32_t kRequestedAnswerLength = 6;

}  // namespace

Flag QueryMacAddress(std::string addressText, std::string& hardwareAddressText,
                     const std::string& delimiter, ArpRequest& request) {
    const Ipv4Address address = ParseIpAddress(addressText);
    if (address == 0) {
        return kFalse;
    }

    // Two 32-bit words: room for the six bytes asked for, and the first
    // word doubles as the "all zeros" test below.
    std::array<std::uint32_t, 2> answer{};
    std::uint32_t answerLength = kRequestedAnswerLength;
    if (request.Send(address, 0, answer.data(), answerLength) != arp_status::kOk) {
        return kFalse;
    }
    if (answer[0] == 0) {
        // A system that "answers" with zeros has not found anything (the
        // loopback interface's address, for one).
        return kFalse;
    }
    if (answerLength == 0 || answerLength > sizeof answer) {
        // A length past the buffer can only come from a faulty request;
        // copying that much would read beyond the answer.
        return kFalse;
    }

    HardwareAddressBytes bytes(answerLength);
    std::memcpy(bytes.data(), answer.data(), answerLength);
    hardwareAddressText = FormatMacAddress(bytes, delimiter);
    return kTrue;
}

}  // namespace varnock
