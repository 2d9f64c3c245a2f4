#include "console/lookup_command.h"

#include <optional>
#include <ostream>
#include <string>

#include "lookup/mac_query.h"

namespace varnock::console {
namespace {

constexpr std::string_view kProgramName = "varnock-cli";
constexpr std::string_view kUsage = "usage: varnock-cli ADDRESS\n";

// QueryMacAddress reports only true or false; keeping the request's status
// lets the reason for "no answer" be told apart.
class StatusKeepingArpRequest final : public ArpRequest {
public:
    explicit StatusKeepingArpRequest(ArpRequest& request) : request_(request) {}

    std::uint32_t Send(Ipv4Address destination, Ipv4Address source, void* answer,
                       std::uint32_t& answerLength) override {
        status_ = request_.Send(destination, source, answer, answerLength);
        return *status_;
    }

    // Empty when no request was sent.
    const std::optional<std::uint32_t>& status() const { return status_; }

private:
    ArpRequest& request_;
    std::optional<std::uint32_t> status_;
};

std::string_view ReasonForNoAnswer(const std::optional<std::uint32_t>& status) {
    if (!status) {
        return "not an address to ask for";
    }
    if (*status == arp_status::kOk) {
        return "empty answer";
    }
    return DescribeArpStatus(*status);
}

}  // namespace

int RunLookupCommand(std::span<const std::string_view> arguments, std::ostream& out,
                     std::ostream& err, ArpRequest& request) {
    if (arguments.size() == 1 && (arguments[0] == "-h" || arguments[0] == "--help")) {
        out << kUsage;
        return kExitAnswered;
    }
    // An empty text would reach the request as 255.255.255.255, and no
    // address starts with a dash: both are mistakes in the command line.
    if (arguments.size() != 1 || arguments[0].empty() || arguments[0].front() == '-') {
        err << kUsage;
        return kExitUsage;
    }

    const std::string addressText(arguments[0]);
    StatusKeepingArpRequest keeping(request);
    std::string hardwareAddressText;
    if (QueryMacAddress(addressText, hardwareAddressText, ":", keeping) == kFalse) {
        err << kProgramName << ": " << addressText << ": " << ReasonForNoAnswer(keeping.status())
            << '\n';
        return kExitNoAnswer;
    }
    out << hardwareAddressText << '\n';
    return kExitAnswered;
}

}  // namespace varnock::console
