#include "console/address_lookup.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "lookup/mac_query.h"

namespace varnock::console {
namespace {

// QueryMacAddress reports only true or false and asks an ArpRequest: this
// one asks the resolver with the run's settings and keeps its whole answer,
// which tells the reasons for "no answer" apart and names the interface.
class KeepingRequest final : public ArpRequest {
public:
    KeepingRequest(NeighbourResolver& resolver, const LookupSettings& settings)
        : resolver_(resolver), settings_(settings) {}

    std::uint32_t Send(Ipv4Address destination, Ipv4Address source, void* answer,
                       std::uint32_t& answerLength) override {
        NeighbourQuery query;
        query.address = IpAddress::V4(destination);
        query.source = source;
        query.interfaceIndex = settings_.interfaceIndex;
        query.maxWait = settings_.maxWait;
        kept_ = resolver_.Resolve(query);
        if (kept_->status == arp_status::kOk) {
            const auto length = static_cast<std::uint32_t>(kept_->hardwareAddress.size());
            if (length > 0) {
                std::memcpy(answer, kept_->hardwareAddress.data(), std::min(length, answerLength));
            }
            answerLength = length;
        }
        return kept_->status;
    }

    // Empty when nothing was asked.
    const std::optional<NeighbourAnswer>& Kept() const { return kept_; }

private:
    NeighbourResolver& resolver_;
    const LookupSettings& settings_;
    std::optional<NeighbourAnswer> kept_;
};

std::string ReasonForNoAnswer(const std::optional<NeighbourAnswer>& answer) {
    if (!answer) {
        return "not an address to ask for";
    }
    if (answer->status == arp_status::kOk) {
        // All zeros (the loopback interface), or not a hardware address.
        return "empty answer";
    }
    return std::string(DescribeArpStatus(answer->status));
}

AddressResult Finished(const Target& target, const std::optional<NeighbourAnswer>& answer,
                       std::optional<std::string> text) {
    // FormatMacAddress gives the empty text for an answer that is not six
    // bytes long: no address to show either.
    if (!text || text->empty()) {
        AddressResult result = Unanswered(target, ReasonForNoAnswer(answer));
        result.interfaceIndex = answer ? answer->interfaceIndex : 0;
        return result;
    }
    AddressResult result;
    result.address = target.address;
    result.name = target.name;
    result.given = target.given;
    result.hardwareAddress = std::move(text);
    result.bytes = answer->hardwareAddress;
    result.interfaceIndex = answer->interfaceIndex;
    result.provenance = answer->provenance;
    return result;
}

}  // namespace

AddressResult LookUpTarget(const Target& target, const LookupSettings& settings,
                           NeighbourResolver& resolver) {
    if (!target.address.IsV6()) {
        KeepingRequest keeping(resolver, settings);
        std::string text;
        // The dotted text reads back as the same address on every platform.
        const bool found = QueryMacAddress(DottedText(target.address.V4Value()), text,
                                           settings.delimiter, keeping) != kFalse;
        return Finished(target, keeping.Kept(), found ? std::optional(text) : std::nullopt);
    }
    NeighbourQuery query;
    query.address = target.address;
    query.interfaceIndex = settings.interfaceIndex;
    query.maxWait = settings.maxWait;
    const NeighbourAnswer answer = resolver.Resolve(query);
    // The same tests of the answer as the window's query makes.
    const auto& bytes = answer.hardwareAddress;
    const bool found = answer.status == arp_status::kOk && bytes.size() >= 4 &&
                       (bytes[0] | bytes[1] | bytes[2] | bytes[3]) != 0;
    return Finished(
        target, answer,
        found ? std::optional(FormatMacAddress(bytes, settings.delimiter)) : std::nullopt);
}

AddressResult Unanswered(const Target& target, std::string reason) {
    AddressResult result;
    result.address = target.address;
    result.name = target.name;
    result.given = target.given;
    result.reason = std::move(reason);
    return result;
}

}  // namespace varnock::console
