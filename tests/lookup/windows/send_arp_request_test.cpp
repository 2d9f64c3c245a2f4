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
#include "lookup/neighbour_engine.h"
#include "tests/support/scripted_neighbours.h"

namespace varnock {
namespace {

bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The system's request behind the recording stand-in, so that tests can
// tell "no request" from "request failed".
std::unique_ptr<testing::ScriptedNeighbours> RecordedSystemRequest() {
    auto request = std::make_unique<testing::ScriptedNeighbours>();
    request->passTo = MakeSystemArpRequest();
    return request;
}

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
    const auto recorded = RecordedSystemRequest();
    auto& request = *recorded;
    std::string hardwareAddressText = "left as it was";

    EXPECT_EQ(QueryMacAddress("192.0.2.1", hardwareAddressText, ":", request), kFalse);

    EXPECT_EQ(hardwareAddressText, "left as it was");
    ASSERT_EQ(request.CallCount(), 1u);
    EXPECT_EQ(request.Calls()[0].destination, DocumentationHost());
    EXPECT_NE(request.Calls()[0].status, arp_status::kOk);
}

TEST(QueryMacAddressOnWindows, AddressZeroSendsNoRequest) {
    const auto recorded = RecordedSystemRequest();
    auto& request = *recorded;
    std::string hardwareAddressText = "left as it was";

    EXPECT_EQ(QueryMacAddress("0.0.0.0", hardwareAddressText, ":", request), kFalse);
    EXPECT_EQ(QueryMacAddress(" ", hardwareAddressText, ":", request), kFalse);

    EXPECT_EQ(hardwareAddressText, "left as it was");
    EXPECT_TRUE(request.Calls().empty());
}

// IPv6 goes through ResolveIpNetEntry2 where the system has it; under wine
// (which does not implement it) and for a documentation address nobody
// answers, it must fail cleanly: a status, no bytes, no crash.
TEST(NeighbourEngineOnWindows, Ipv6DocumentationAddressFailsCleanly) {
    const auto engine = MakeSystemNeighbourEngine(ResolverMode::kLive);
    NeighbourQuery query;
    query.address = IpAddress::V6({0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2});
    const NeighbourAnswer answer = ResolveNow(*engine, query);
    EXPECT_NE(answer.status, arp_status::kOk);
    EXPECT_TRUE(answer.hardwareAddress.empty());
    // Neither a chosen interface nor the table as it stands is wired up.
    query.interfaceIndex = 1;
    EXPECT_EQ(ResolveNow(*engine, query).status, arp_status::kNotSupported);
}

}  // namespace
}  // namespace varnock
