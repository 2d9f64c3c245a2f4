#pragma once

// Answers as every engine gives them.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "lookup/neighbour_engine.h"

namespace varnock {

inline NeighbourAnswer Refused(std::uint32_t status, std::uint32_t interfaceIndex = 0) {
    NeighbourAnswer answer;
    answer.status = status;
    answer.interfaceIndex = interfaceIndex;
    return answer;
}

inline NeighbourAnswer Answered(std::vector<std::uint8_t> hardwareAddress,
                                std::uint32_t interfaceIndex) {
    NeighbourAnswer answer = Refused(arp_status::kOk, interfaceIndex);
    answer.hardwareAddress = std::move(hardwareAddress);
    return answer;
}

// A lookup that could not be made: the reason, never "no answer".
inline NeighbourAnswer CouldNotAsk(std::string why, std::uint32_t interfaceIndex = 0) {
    NeighbourAnswer answer = Refused(arp_status::kSystemError, interfaceIndex);
    answer.systemError = std::move(why);
    return answer;
}

}  // namespace varnock
