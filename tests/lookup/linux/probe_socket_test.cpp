// The datagram socket's refusals name the interface they came in on, so that
// a refusal counts only for lookups on that interface. Loopback only: the
// machine's own kernel refuses a datagram to a port nobody listens on.

#include "lookup/linux/probe_socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <poll.h>

namespace varnock::linux_backend {
namespace {

TEST(ProbeSocketTest, ARefusalNamesItsAddressAndTheInterfaceItCameInOn) {
    UdpProbeSocket probe(IpAddress::Family::kV4, 0, 0);
    const IpAddress loopback = IpAddress::V4(inet_addr("127.0.0.1"));
    ASSERT_EQ(probe.Send(loopback), 0);
    pollfd error{probe.Fd(), 0, 0};
    ASSERT_EQ(::poll(&error, 1, 10'000), 1) << "no refusal came";
    const auto refusals = probe.TakeRefusals();
    ASSERT_EQ(refusals.size(), 1U);
    EXPECT_EQ(refusals[0].address, loopback);
    EXPECT_EQ(refusals[0].interfaceIndex, ::if_nametoindex("lo"));
    EXPECT_TRUE(probe.TakeRefusals().empty());
}

}  // namespace
}  // namespace varnock::linux_backend
