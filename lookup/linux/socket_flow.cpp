#include "lookup/linux/socket_flow.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include "lookup/linux/unique_fd.h"

namespace varnock::linux_backend {
namespace {

#ifndef SO_BINDTOIFINDEX
constexpr int SO_BINDTOIFINDEX = 62;  // Linux 5.0; older headers lack it
#endif

}  // namespace

Flow FlowOf(int socketFd) {
    const auto read = [socketFd](int option) {
        std::uint32_t value = 0;
        socklen_t length = sizeof value;
        // An older kernel that cannot tell has set nothing either.
        return ::getsockopt(socketFd, SOL_SOCKET, option, &value, &length) < 0 ? 0U : value;
    };
    return {read(SO_BINDTOIFINDEX), read(SO_MARK)};
}

Flow ProcessFlow(IpAddress::Family family) {
    const UniqueFd probe(::socket(family == IpAddress::Family::kV6 ? AF_INET6 : AF_INET,
                                  SOCK_DGRAM | SOCK_CLOEXEC, 0));
    return probe ? FlowOf(probe.Get()) : Flow{};
}

}  // namespace varnock::linux_backend
