#pragma once

#include <cstdint>
#include <string>

#include "lookup/arp_request.h"

namespace varnock {

// A 16-bit truth value: true is -1 (all bits set), false is 0. The window's
// callers were written against this form and test it only for non-zero, so
// the query keeps it rather than a bool: any code comparing with -1 or
// storing it in 16 bits goes on working.
using Flag = std::int16_t;
inline constexpr Flag kTrue = -1;
inline constexpr Flag kFalse = 0;

// Looks up the hardware address of the host named by `addressText`.
//
// kTrue when the system answered: `hardwareAddressText` then holds
// FormatMacAddress of the answer and `delimiter` (the empty text for an
// answer that is not six bytes long, "ERROR" if the text could not be
// built). kFalse when there is no answer, and `hardwareAddressText` is left
// exactly as it was. A text that converts to 0 ("0.0.0.0") sends no request.
// Exceptions from `request` or from running out of memory propagate.
Flag QueryMacAddress(std::string addressText, std::string& hardwareAddressText,
                     const std::string& delimiter, ArpRequest& request);

}  // namespace varnock
