// Any address text, and any answer a request might give for it, through
// the whole query: it must never crash, read past the answer buffer or
// change the caller's text on a false result.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "lookup/address_text.h"
#include "lookup/mac_query.h"

namespace {

class ReplayedRequest : public varnock::ArpRequest {
public:
    ReplayedRequest(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint32_t Send(varnock::Ipv4Address, varnock::Ipv4Address, void* answer,
                       std::uint32_t& answerLength) override {
        // First byte: status (0 = success); second: the length reported
        // back; then up to the announced length of answer bytes.
        const std::uint32_t status = size_ > 0 ? data_[0] % 4 : 0;
        const std::uint32_t reported = size_ > 1 ? data_[1] : 6;
        const std::size_t available = size_ > 2 ? size_ - 2 : 0;
        std::memcpy(answer, data_ + (size_ > 2 ? 2 : 0),
                    available < answerLength ? available : answerLength);
        answerLength = reported;
        return status;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The text is everything up to the first 0xFF; the rest is the answer.
    const auto* split = static_cast<const std::uint8_t*>(std::memchr(data, 0xFF, size));
    const std::size_t textLength = split != nullptr ? static_cast<std::size_t>(split - data) : size;
    const std::string text(reinterpret_cast<const char*>(data), textLength);
    const std::size_t rest = size - textLength - (split != nullptr ? 1 : 0);

    (void)varnock::ParseIpAddress(text);
    ReplayedRequest request(data + (size - rest), rest);
    std::string result = "unchanged";
    if (varnock::QueryMacAddress(text, result, ":", request) == varnock::kFalse &&
        result != "unchanged") {
        std::abort();
    }
    return 0;
}
