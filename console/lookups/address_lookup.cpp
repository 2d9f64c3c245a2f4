#include "console/lookups/address_lookup.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "console/text/address_text.h"
#include "lookup/mac_query.h"

namespace varnock::console {
namespace {

// QueryMacAddress reports only true or false and asks an ArpRequest: this
// one hands it the engine's answer, so that the window's own checks and text
// decide, and the whole answer is kept for the reasons.
class AnsweredRequest final : public ArpRequest {
public:
    explicit AnsweredRequest(const NeighbourAnswer& answer) : answer_(answer) {}

    std::uint32_t Send(Ipv4Address, Ipv4Address, void* answer,
                       std::uint32_t& answerLength) override {
        asked_ = true;
        if (answer_.status == arp_status::kOk) {
            const auto length = static_cast<std::uint32_t>(answer_.hardwareAddress.size());
            if (length > 0) {
                std::memcpy(answer, answer_.hardwareAddress.data(), std::min(length, answerLength));
            }
            answerLength = length;
        }
        return answer_.status;
    }

    bool Asked() const { return asked_; }

private:
    const NeighbourAnswer& answer_;
    bool asked_ = false;
};

// "1.5", "2", "0.25": a wait in seconds as people write it.
std::string SecondsText(std::chrono::milliseconds wait) {
    std::string text = std::to_string(wait.count() / 1000);
    if (const auto rest = wait.count() % 1000; rest != 0) {
        std::string fraction = std::to_string(1000 + rest).substr(1);
        fraction.erase(fraction.find_last_not_of('0') + 1);
        text += '.' + fraction;
    }
    return text;
}

std::string ReasonForNoAnswer(const NeighbourAnswer& answer, const LookupSettings& settings) {
    switch (answer.status) {
        case arp_status::kOk:
            // All zeros (the loopback interface), or not a hardware address.
            return "empty answer";
        case arp_status::kSystemError:
            return "the system could not be asked: " + answer.systemError;
        case arp_status::kNotConfirmed: {
            std::string reason = "not confirmed";
            if (settings.maxWait) {
                reason += " within " + SecondsText(*settings.maxWait) + " s";
            }
            reason += "; last known " + FormatMacAddress(answer.hardwareAddress, ":");
            if (answer.provenance) {
                reason += ", " + answer.provenance->state;
            }
            return reason;
        }
        default:
            return std::string(DescribeArpStatus(answer.status));
    }
}

AddressResult Finished(const Target& target, const LookupSettings& settings,
                       const NeighbourAnswer& answer, std::optional<std::string> text) {
    // FormatMacAddress gives the empty text for an answer that is not six
    // bytes long: no address to show either.
    if (!text || text->empty()) {
        AddressResult result = Unanswered(target, ReasonForNoAnswer(answer, settings));
        result.interfaceIndex = answer.interfaceIndex;
        result.systemFailure = answer.status == arp_status::kSystemError;
        if (answer.status == arp_status::kNotConfirmed) {
            result.provenance = answer.provenance;
            result.lastKnownHardwareAddress =
                FormatMacAddress(answer.hardwareAddress, settings.delimiter);
        }
        return result;
    }
    AddressResult result;
    result.address = target.address;
    result.name = target.name;
    result.given = target.given;
    result.hardwareAddress = std::move(text);
    result.bytes = answer.hardwareAddress;
    result.interfaceIndex = answer.interfaceIndex;
    result.provenance = answer.provenance;
    if (answer.alsoAnswersFor) {
        // The interface is the result's own: no scope to name.
        IpAddress other = *answer.alsoAnswersFor;
        other.scope = 0;
        result.alsoAnswersFor = AddressText(other, {});
    }
    return result;
}

}  // namespace

std::optional<NeighbourQuery> QueryFor(const Target& target, const LookupSettings& settings) {
    // The window asks nothing for the address 0, whatever the text.
    if (!target.address.IsV6() && target.address.V4Value() == 0) {
        return std::nullopt;
    }
    NeighbourQuery query;
    query.address = target.address;
    query.interfaceIndex = settings.interfaceIndex;
    query.maxWait = settings.maxWait;
    return query;
}

AddressResult NotAsked(const Target& target) {
    return Unanswered(target, "not an address to ask for");
}

AddressResult ResultOf(const Target& target, const LookupSettings& settings,
                       const NeighbourAnswer& answer) {
    if (!target.address.IsV6()) {
        AnsweredRequest request(answer);
        std::string text;
        // The dotted text reads back as the same address on every platform.
        const bool found = QueryMacAddress(DottedText(target.address.V4Value()), text,
                                           settings.delimiter, request) != kFalse;
        if (!request.Asked()) {
            return NotAsked(target);
        }
        return Finished(target, settings, answer, found ? std::optional(text) : std::nullopt);
    }
    // The same tests of the answer as the window's query makes.
    const auto& bytes = answer.hardwareAddress;
    const bool found = answer.status == arp_status::kOk && bytes.size() >= 4 &&
                       (bytes[0] | bytes[1] | bytes[2] | bytes[3]) != 0;
    return Finished(
        target, settings, answer,
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
