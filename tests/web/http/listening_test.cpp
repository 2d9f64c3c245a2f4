// Where the server may listen: the addresses it is given, the sockets
// systemd passes, and the refusal to listen beyond loopback unprotected.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "web/http/exposure.h"
#include "web/http/listen_address.h"
#include "web/http/socket_activation.h"

namespace varnock::web {
namespace {

TEST(ListenAddress, ReadsBothFamiliesAndTellsLoopback) {
    struct Case {
        const char* text;
        int family;
        bool loopback;
    };
    for (const Case& c :
         {Case{"127.0.0.1:8841", AF_INET, true}, Case{"127.8.9.10:1", AF_INET, true},
          Case{"[::1]:8841", AF_INET6, true}, Case{"[::ffff:127.0.0.1]:80", AF_INET6, true},
          Case{"0.0.0.0:8841", AF_INET, false}, Case{"192.0.2.1:65535", AF_INET, false},
          Case{"[::]:8841", AF_INET6, false}, Case{"[2001:db8::1]:8841", AF_INET6, false},
          Case{"[::ffff:192.0.2.1]:80", AF_INET6, false}}) {
        const ListenAddress address = ParseListenAddress(c.text);
        EXPECT_EQ(address.socket.ss_family, c.family) << c.text;
        EXPECT_EQ(IsLoopback(address.socket), c.loopback) << c.text;
        EXPECT_EQ(address.text, c.text);
    }
}

TEST(ListenAddress, RefusesWhatIsNotAnAddressAndPort) {
    for (const char* text : {"", "127.0.0.1", "127.0.0.1:", "127.0.0.1:0", "127.0.0.1:65536",
                             "127.0.0.1:80x", "localhost:8841", "::1:8841", "[::1]", "[::1]8841",
                             "[::1:8841", "[127.0.0.1]:80", "192.0.2.300:80"}) {
        EXPECT_THROW(ParseListenAddress(text), BadListenAddress) << text;
    }
}

TEST(Exposure, BeyondLoopbackNeedsTlsAndUsers) {
    const BoundSocket loopback{ParseListenAddress("127.0.0.1:8841").socket, "127.0.0.1:8841"};
    const BoundSocket open{ParseListenAddress("[2001:db8::1]:8841").socket, "[2001:db8::1]:8841"};
    EXPECT_NO_THROW(RequireSafeExposure({loopback}, false, false));
    EXPECT_NO_THROW(RequireSafeExposure({loopback, open}, true, true));
    const auto refusal = [&](bool tls, bool users) -> std::string {
        try {
            RequireSafeExposure({loopback, open}, tls, users);
        } catch (const ExposureRefused& refused) {
            return refused.what();
        }
        return "(allowed)";
    };
    EXPECT_EQ(refusal(false, false),
              "[2001:db8::1]:8841 is not a loopback address: listening there needs TLS "
              "(tls_server_config) and users (basic_auth_users) in --web-config");
    EXPECT_EQ(refusal(true, false),
              "[2001:db8::1]:8841 is not a loopback address: listening there needs users "
              "(basic_auth_users) in --web-config");
    EXPECT_EQ(refusal(false, true),
              "[2001:db8::1]:8841 is not a loopback address: listening there needs TLS "
              "(tls_server_config) in --web-config");
}

TEST(SocketActivation, TakesThePassedDescriptorsOnlyWhenTheyAreOurs) {
    EXPECT_EQ(ActivatedDescriptors("4242", "2", 4242), (std::vector<int>{3, 4}));
    EXPECT_EQ(ActivatedDescriptors("4242", "1", 4242), (std::vector<int>{3}));
    // For another process (a parent's, inherited), or malformed: none.
    for (const auto& [pid, fds] :
         std::vector<std::pair<std::optional<std::string_view>, std::optional<std::string_view>>>{
             {"4243", "2"},
             {std::nullopt, "2"},
             {"4242", std::nullopt},
             {"4242", "0"},
             {"4242", "-1"},
             {"4242", "2x"},
             {"x", "2"},
             {"4242", "100000"},
             {"", ""}}) {
        EXPECT_TRUE(ActivatedDescriptors(pid, fds, 4242).empty())
            << pid.value_or("unset") << " " << fds.value_or("unset");
    }
}

}  // namespace
}  // namespace varnock::web
