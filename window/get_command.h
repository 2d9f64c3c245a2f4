#pragma once

// What a press of the Get button does, apart from the toolkit: the text of
// txtIp in, and out either the new text of txtMAC or the failure message.

#include <optional>
#include <string>
#include <string_view>

#include "lookup/arp_request.h"

namespace varnock {

inline constexpr std::string_view kFailurePrompt = "ERROR : Remote MAC Cannot be Harvested";
inline constexpr std::string_view kFailureTitle = "Orbelund";
// A stop icon and one OK button (MB_OK | MB_ICONHAND).
inline constexpr unsigned kFailureStyle = 16;

struct GetCommandOutcome {
    // The new text of txtMAC; none leaves the box as it is.
    std::optional<std::string> resultText;
    bool showFailureMessage = false;

    bool operator==(const GetCommandOutcome&) const = default;
};

// Whether the press has anything to do: an empty address text changes
// nothing and shows nothing. Any other text, a single space included, runs
// the query.
bool GetCommandHasWork(std::string_view addressText);

// The Get command for `addressText`, single-byte in the system code page.
// An answer (even an empty text or "ERROR") goes into txtMAC. No answer
// empties txtMAC, so no old address stays beside the message. A failure
// raised on the way shows the same message and leaves txtMAC alone.
// Never throws. It may wait seconds for the system, so the windows run it
// on a worker thread.
GetCommandOutcome RunGetCommand(const std::string& addressText, ArpRequest& request) noexcept;

}  // namespace varnock
