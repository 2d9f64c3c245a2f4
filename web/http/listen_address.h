#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "lookup/linux/unique_fd.h"

namespace varnock::web {

using linux_backend::UniqueFd;

// A --listen value the program cannot use.
class BadListenAddress : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ListenAddress {
    sockaddr_storage socket{};
    socklen_t length = 0;
    std::string text;  // as the user wrote it, for messages
};

// "127.0.0.1:8841" or "[::1]:8841"; numeric addresses only (a name would
// need the resolver, and the address a server binds must not depend on it).
ListenAddress ParseListenAddress(std::string_view text);

// 127.0.0.0/8, ::1 and ::ffff:127.0.0.0/104: the only addresses served
// without TLS and users.
bool IsLoopback(const sockaddr_storage& address);

// A listening TCP socket on the address: non-blocking (several threads of
// the server wait on it), close-on-exec, IPv6 only for an IPv6 address so
// that "[::]" and "0.0.0.0" can be given side by side. Throws
// std::system_error naming the address when the system refuses.
UniqueFd OpenListeningSocket(const ListenAddress& address);

// The address a listening socket is bound to (socket activation hands us
// sockets whose address we did not choose).
sockaddr_storage BoundAddress(int fd);

}  // namespace varnock::web
