#pragma once

// Where Linux declares the socket library's address texts (inet_addr,
// inet_pton, inet_ntop): code for every platform includes
// "socket_text.h" and the build gives it this folder's.
#include <arpa/inet.h>
