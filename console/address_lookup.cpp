#include "console/address_lookup.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "console/address_arguments.h"
#include "lookup/mac_query.h"

namespace varnock::console {
namespace {

// QueryMacAddress reports only true or false; keeping the request's status
// tells the reasons for "no answer" apart, and keeping the answer's bytes
// names its vendor.
class KeepingArpRequest final : public ArpRequest {
public:
    explicit KeepingArpRequest(ArpRequest& request) : request_(request) {}

    std::uint32_t Send(Ipv4Address destination, Ipv4Address source, void* answer,
                       std::uint32_t& answerLength) override {
        const std::uint32_t room = answerLength;
        status_ = request_.Send(destination, source, answer, answerLength);
        if (*status_ == arp_status::kOk) {
            const auto* first = static_cast<const std::uint8_t*>(answer);
            bytes_.assign(first, first + std::min(room, answerLength));
            provenance_ = request_.LastProvenance();
        }
        return *status_;
    }

    std::optional<AnswerProvenance> LastProvenance() const override { return provenance_; }

    // Empty when no request was sent.
    const std::optional<std::uint32_t>& Status() const { return status_; }
    const HardwareAddressBytes& Bytes() const { return bytes_; }

private:
    ArpRequest& request_;
    std::optional<std::uint32_t> status_;
    HardwareAddressBytes bytes_;
    std::optional<AnswerProvenance> provenance_;
};

std::string ReasonForNoAnswer(const std::optional<std::uint32_t>& status) {
    if (!status) {
        return "not an address to ask for";
    }
    if (*status == arp_status::kOk) {
        // All zeros (the loopback interface), or not a hardware address.
        return "empty answer";
    }
    return std::string(DescribeArpStatus(*status));
}

}  // namespace

AddressResult LookUpAddress(Ipv4Address address, const std::string& delimiter,
                            ArpRequest& request) {
    KeepingArpRequest keeping(request);
    std::string text;
    // The dotted text reads back as the same address on every platform.
    if (QueryMacAddress(DottedText(address), text, delimiter, keeping) == kFalse || text.empty()) {
        // FormatMacAddress gives the empty text for an answer that is not
        // six bytes long: no address to show either.
        return Unanswered(address, ReasonForNoAnswer(keeping.Status()));
    }
    AddressResult result;
    result.address = address;
    result.hardwareAddress = std::move(text);
    result.bytes = keeping.Bytes();
    result.provenance = keeping.LastProvenance();
    return result;
}

AddressResult Unanswered(Ipv4Address address, std::string reason) {
    AddressResult result;
    result.address = address;
    result.reason = std::move(reason);
    return result;
}

}  // namespace varnock::console
