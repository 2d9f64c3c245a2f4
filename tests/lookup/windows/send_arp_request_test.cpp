// The real Windows request, asked only for documentation addresses
// (192.0.2.0/24), which no network answers for. Under wine SendARP is a stub
// that returns ERROR_NOT_SUPPORTED at once and sends nothing; on Windows the
// system may try and give up, so only "not answered" is asserted there.
// clang-format off
#include <winsock2.h>
#include <windows.h>
// clang-format on

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "lookup/arp_request.h"
#include "lookup/mac_query.h"

namespace varnock {
namespace {

bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Passes every call on to the system's request and notes what was asked and
// answered, so that tests can tell "no request" from "request failed".
class RecordingArpRequest final : public ArpRequest {
public:
    struct Call {
        Ipv4Address destination;
        std::uint32_t status;
    };

    std::uint32_t Send(Ipv4Address destination, Ipv4Address source, void* answer,
                       std::uint32_t& answerLength) override {
        const std::uint32_t status = system_->Send(destination, source, answer, answerLength);
        calls.push_back({destination, status});
        return status;
    }

    std::vector<Call> calls;

private:
    std::unique_ptr<ArpRequest> system_ = MakeSystemArpRequest();
};

// 192.0.2.1, network order.
Ipv4Address DocumentationHost() {
    const std::array<std::uint8_t, 4> bytes{192, 0, 2, 1};
    Ipv4Address address = 0;
    std::memcpy(&address, bytes.data(), sizeof address);
    return address;
}

TEST(SendArpRequest, DocumentationAddressIsNotAnswered) {
    const auto request = MakeSystemArpRequest();
    std::array<std::uint32_t, 2> answer{};
    std::uint32_t answerLength = 6;

    const std::uint32_t status = request->Send(DocumentationHost(), 0, answer.data(), answerLength);

    if (RunningUnderWine()) {
        EXPECT_EQ(status, arp_status::kNotSupported);
    } else {
        EXPECT_NE(status, arp_status::kOk);
    }
}

TEST(QueryMacAddressOnWindows, UnansweredRequestLeavesTextAlone) {
    RecordingArpRequest request;
    std::string hardwareAddressText = "left as it was";

    EXPECT_EQ(QueryMacAddress("192.0.2.1", hardwareAddressText, ":", request), kFalse);

    EXPECT_EQ(hardwareAddressText, "left as it was");
    ASSERT_EQ(request.calls.size(), 1u);
    EXPECT_EQ(request.calls[0].destination, DocumentationHost());
    EXPECT_NE(request.calls[0].status, arp_status::kOk);
}

TEST(QueryMacAddressOnWindows, AddressZeroSendsNoRequest) {
    RecordingArpRequest request;
    std::string hardwareAddressText = "left as it was";

    EXPECT_EQ(QueryMacAddress("0.0.0.0", hardwareAddressText, ":", request), kFalse);
    EXPECT_EQ(QueryMacAddress(" ", hardwareAddressText, ":", request), kFalse);

    EXPECT_EQ(hardwareAddressText, "left as it was");
    EXPECT_TRUE(request.calls.empty());
}

}  // namespace
}  // namespace varnock
