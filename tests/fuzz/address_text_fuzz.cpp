// Any address text, and any answer a request might give for it, through
// the whole query: it must never crash, read past the answer buffer or
// change the caller's text on a false result.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "lookup/address_text.h"
#include "lookup/mac_query.h"
#include "tests/support/scripted_neighbours.h"

namespace {

// The answer the request gives: first byte the status (0 = success), second
// the length reported back, then the answer bytes.
varnock::testing::ScriptedNeighbours::Reply ReplayedAnswer(const std::uint8_t* data,
                                                           std::size_t size) {
    varnock::testing::ScriptedNeighbours::Reply reply;
    reply.status = size > 0 ? data[0] % 4u : 0u;
    reply.length = size > 1 ? data[1] : 6u;
    if (size > 2) {
        reply.bytes.assign(data + 2, data + size);
    }
    return reply;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The text is everything up to the first 0xFF; the rest is the answer.
    const auto* split = static_cast<const std::uint8_t*>(std::memchr(data, 0xFF, size));
    const std::size_t textLength = split != nullptr ? static_cast<std::size_t>(split - data) : size;
    const std::string text(reinterpret_cast<const char*>(data), textLength);
    const std::size_t rest = size - textLength - (split != nullptr ? 1 : 0);

    (void)varnock::ParseIpAddress(text);
    varnock::testing::ScriptedNeighbours request;
    request.reply = ReplayedAnswer(data + (size - rest), rest);
    std::string result = "unchanged";
    if (varnock::QueryMacAddress(text, result, ":", request) == varnock::kFalse &&
        result != "unchanged") {
        std::abort();
    }
    return 0;
}
