#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "lookup/linux/unique_fd.h"

namespace varnock::web {

using linux_backend::UniqueFd;

// The descriptors systemd passed (LISTEN_PID and LISTEN_FDS), starting at
// 3; none when they are not for this process. Pure, for the tests: the
// values as the environment holds them (nullopt when unset).
std::vector<int> ActivatedDescriptors(std::optional<std::string_view> listenPid,
                                      std::optional<std::string_view> listenFds, long ourPid);

// Takes the passed sockets from the environment and unsets its variables,
// so that nothing this process starts takes them too. The sockets are made
// non-blocking and close-on-exec.
std::vector<UniqueFd> TakeActivatedSockets();

}  // namespace varnock::web
