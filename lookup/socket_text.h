#pragma once

// Where the system declares the socket library's address texts (inet_addr,
// inet_pton, inet_ntop), for code of every platform.

#ifdef _WIN32
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format on
#else
#include <arpa/inet.h>
#endif
