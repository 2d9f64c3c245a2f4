#pragma once

// Where Windows declares the socket library's address texts (inet_addr,
// inet_pton, inet_ntop): code for every platform includes
// "socket_text.h" and the build gives it this folder's.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format on
