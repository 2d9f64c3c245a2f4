#include "web/http/listen_address.h"

#include <arpa/inet.h>
#include <fcntl.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <system_error>

namespace varnock::web {
namespace {

std::uint16_t ParsePort(std::string_view text, std::string_view whole) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value == 0 ||
        value > 65535) {
        throw BadListenAddress("\"" + std::string(whole) + "\": the port must be 1 to 65535");
    }
    return static_cast<std::uint16_t>(value);
}

}  // namespace

ListenAddress ParseListenAddress(std::string_view text) {
    ListenAddress result;
    result.text = std::string(text);
    const std::string quoted = "\"" + result.text + "\"";
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':') {
            throw BadListenAddress(quoted + ": expected [IPv6 ADDRESS]:PORT");
        }
        const std::string host(text.substr(1, close - 1));
        sockaddr_in6 v6{};
        v6.sin6_family = AF_INET6;
        if (inet_pton(AF_INET6, host.c_str(), &v6.sin6_addr) != 1) {
            throw BadListenAddress(quoted + ": not an IPv6 address");
        }
        v6.sin6_port = htons(ParsePort(text.substr(close + 2), text));
        std::memcpy(&result.socket, &v6, sizeof v6);
        result.length = sizeof v6;
        return result;
    }
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) {
        throw BadListenAddress(quoted + ": expected ADDRESS:PORT");
    }
    const std::string host(text.substr(0, colon));
    sockaddr_in v4{};
    v4.sin_family = AF_INET;
    if (inet_pton(AF_INET, host.c_str(), &v4.sin_addr) != 1) {
        throw BadListenAddress(quoted + ": not an IPv4 address (an IPv6 one goes in brackets)");
    }
    v4.sin_port = htons(ParsePort(text.substr(colon + 1), text));
    std::memcpy(&result.socket, &v4, sizeof v4);
    result.length = sizeof v4;
    return result;
}

bool IsLoopback(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET) {
        sockaddr_in v4{};
        std::memcpy(&v4, &address, sizeof v4);
        return (ntohl(v4.sin_addr.s_addr) >> 24) == 127;
    }
    if (address.ss_family == AF_INET6) {
        sockaddr_in6 v6{};
        std::memcpy(&v6, &address, sizeof v6);
        if (IN6_IS_ADDR_LOOPBACK(&v6.sin6_addr)) return true;
        return IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr) && v6.sin6_addr.s6_addr[12] == 127;
    }
    return false;
}

UniqueFd OpenListeningSocket(const ListenAddress& address) {
    const auto fail = [&](const char* step) {
        throw std::system_error(errno, std::generic_category(),
                                "cannot listen on " + address.text + " (" + step + ")");
    };
    UniqueFd fd(::socket(address.socket.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) fail("socket");
    const int on = 1;
    if (::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) fail("SO_REUSEADDR");
    if (address.socket.ss_family == AF_INET6 &&
        ::setsockopt(fd.Get(), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on) != 0) {
        fail("IPV6_V6ONLY");
    }
    if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address.socket), address.length) != 0) {
        fail("bind");
    }
    if (::listen(fd.Get(), SOMAXCONN) != 0) fail("listen");
    return fd;
}

sockaddr_storage BoundAddress(int fd) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::system_error(errno, std::generic_category(), "getsockname");
    }
    return address;
}

}  // namespace varnock::web
