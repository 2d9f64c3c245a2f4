#include "window/get_command.h"

#include "lookup/mac_query.h"

namespace varnock {

bool GetCommandHasWork(std::string_view addressText) {
    return !addressText.empty();
}

GetCommandOutcome RunGetCommand(const std::string& addressText, ArpRequest& request) noexcept {
    try {
        if (!GetCommandHasWork(addressText)) {
            return {};
        }
        const std::string delimiter = ":";
        std::string hardwareAddressText;
        if (QueryMacAddress(addressText, hardwareAddressText, delimiter, request) != kFalse) {
            return {std::move(hardwareAddressText), false};
        }
        return {std::string(), true};
    } catch (...) {
        // Whatever raised it, the user sees the one message.
        return {std::nullopt, true};
    }
}

}  // namespace varnock
