#pragma once

// The one privilege the raw method needs, taken for as long as its sockets
// take to open, and every privilege given up right after.

namespace varnock::linux_backend {

// Makes CAP_NET_RAW effective when it is permitted but not effective (a
// file capability without the effective flag, or one lowered earlier).
// Whether it is effective now.
bool RaiseNetRaw();

// Gives up every capability for good: the bounding set (where the process
// may change it: root may, a process that has only a file capability may
// not), the ambient set, then the inheritable, permitted and effective sets,
// and sets no_new_privs, so that nothing this process runs can get them
// back either (not even through a file capability). Throws
// std::system_error when the sets cannot be cleared.
void DropAllCapabilities();

}  // namespace varnock::linux_backend
