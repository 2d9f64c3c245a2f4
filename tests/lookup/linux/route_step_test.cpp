// The route-and-interface step both Linux methods take, live and cached:
// what it refuses, on which interface, and which flow it asks the route for.

#include "lookup/linux/route_step.h"

#include <gtest/gtest.h>
#include <linux/rtnetlink.h>

#include "tests/support/scripted_neighbours.h"

namespace varnock::linux_backend {
namespace {

using testing::ScriptedRoutes;

constexpr Ipv4Address kHost = 0x0202'00C0;    // 192.0.2.2
constexpr Ipv4Address kClient = 0x0102'00C0;  // 192.0.2.1
constexpr std::uint32_t kLan = 2;
constexpr std::uint32_t kOther = 3;

rtnl::Route OnLink(std::uint32_t interfaceIndex, std::uint8_t type = RTN_UNICAST) {
    rtnl::Route route;
    route.type = type;
    route.outputInterface = interfaceIndex;
    return route;
}

// A lab-like machine: the client's LAN on interface 2 holds 192.0.2.1/24 and
// resolves neighbours; interface 3 is up too.
class RouteStepTest : public ::testing::Test {
protected:
    RouteStepTest() {
        routes.route = OnLink(kLan);
        rtnl::InterfaceAddress own;
        own.interfaceIndex = kLan;
        own.local = IpAddress::V4(kClient);
        own.prefixLength = 24;
        routes.addresses[IpAddress::Family::kV4] = {own};
        routes.interfaces[kLan] = {"lan", true, true};
        routes.interfaces[kOther] = {"other", true, true};
        routes.hardware[kLan] = {2, 0, 0, 0, 0, 1};
    }

    RouteStep Take(Ipv4Address address, std::uint32_t interfaceIndex = 0, Flow flow = {}) {
        NeighbourQuery query;
        query.address = IpAddress::V4(address);
        query.interfaceIndex = interfaceIndex;
        return TakeRouteStep(routes, query, flow);
    }

    ScriptedRoutes routes;
};

TEST_F(RouteStepTest, AnAttachedHostGoesOutOnTheRoutesInterface) {
    const auto step = Take(kHost);
    EXPECT_FALSE(step.answer);
    EXPECT_EQ(step.interfaceIndex, kLan);
    EXPECT_EQ(step.interfaceName, "lan");
}

TEST_F(RouteStepTest, TheRouteIsAskedForTheFlowTheSocketCarries) {
    Take(kHost, 0, {7, 0x42});
    ASSERT_EQ(routes.routesAsked.size(), 1U);
    EXPECT_EQ(routes.routesAsked[0].flow.boundInterface, 7U);
    EXPECT_EQ(routes.routesAsked[0].flow.mark, 0x42U);
    // A chosen interface is the one asked through; the mark stays.
    Take(kHost, kLan, {7, 0x42});
    EXPECT_EQ(routes.routesAsked[1].flow.boundInterface, kLan);
    EXPECT_EQ(routes.routesAsked[1].flow.mark, 0x42U);
}

TEST_F(RouteStepTest, RefusalsOfTheRouteAndTheInterface) {
    struct Case {
        const char* what;
        std::function<void(ScriptedRoutes&)> set;
        std::uint32_t status;
        std::uint32_t interfaceIndex;
    };
    const Case cases[] = {
        {"no route", [](ScriptedRoutes& r) { r.route.reset(); }, arp_status::kNoRoute, 0},
        {"through a gateway", [](ScriptedRoutes& r) { r.route->throughGateway = true; },
         arp_status::kNotOnLink, 0},
        {"a broadcast", [](ScriptedRoutes& r) { r.route->type = RTN_BROADCAST; },
         arp_status::kNotUnicast, 0},
        {"an interface that has gone", [](ScriptedRoutes& r) { r.interfaces.erase(kLan); },
         arp_status::kNoRoute, 0},
        {"a link without ARP", [](ScriptedRoutes& r) { r.interfaces[kLan].usesArp = false; },
         arp_status::kLinkWithoutArp, kLan},
        {"a link that cannot send", [](ScriptedRoutes& r) { r.interfaces[kLan].canSend = false; },
         arp_status::kInterfaceDown, kLan},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedRoutes saved = routes;
        c.set(routes);
        const auto step = Take(kHost);
        ASSERT_TRUE(step.answer);
        EXPECT_EQ(step.answer->status, c.status);
        EXPECT_EQ(step.answer->interfaceIndex, c.interfaceIndex);
        routes = saved;
    }
}

TEST_F(RouteStepTest, AChosenInterfaceMustHoldTheNetworkAndCarryTheRoute) {
    // Not the destination's network: refused without asking the route,
    // which through that interface would take any address as on-link.
    const auto elsewhere = Take(kHost, kOther);
    ASSERT_TRUE(elsewhere.answer);
    EXPECT_EQ(elsewhere.answer->status, arp_status::kWrongInterface);
    EXPECT_EQ(elsewhere.answer->interfaceIndex, kOther);
    EXPECT_TRUE(routes.routesAsked.empty());

    // The network is there, but the route leaves by another interface: the
    // refusal names the chosen one.
    rtnl::InterfaceAddress alsoThere;
    alsoThere.interfaceIndex = kOther;
    alsoThere.local = IpAddress::V4(0x0902'00C0);
    alsoThere.prefixLength = 24;
    routes.addresses[IpAddress::Family::kV4].push_back(alsoThere);
    const auto routedElsewhere = Take(kHost, kOther);
    ASSERT_TRUE(routedElsewhere.answer);
    EXPECT_EQ(routedElsewhere.answer->status, arp_status::kWrongInterface);
    EXPECT_EQ(routedElsewhere.answer->interfaceIndex, kOther);
}

TEST_F(RouteStepTest, AnOwnAddressAnswersWithItsInterfacesHardwareAddress) {
    routes.route = OnLink(1, RTN_LOCAL);  // the kernel routes it over loopback
    const auto step = Take(kClient);
    ASSERT_TRUE(step.answer);
    EXPECT_TRUE(step.ownAddress);
    EXPECT_EQ(step.answer->status, arp_status::kOk);
    EXPECT_EQ(step.answer->interfaceIndex, kLan);
    EXPECT_EQ(step.answer->hardwareAddress, routes.hardware[kLan]);
}

TEST_F(RouteStepTest, NoAddressIsRefusedBeforeAnythingIsAsked) {
    const auto step = Take(0);
    ASSERT_TRUE(step.answer);
    EXPECT_EQ(step.answer->status, arp_status::kInvalidParameter);
    EXPECT_TRUE(routes.routesAsked.empty());
}

}  // namespace
}  // namespace varnock::linux_backend
