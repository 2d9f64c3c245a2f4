#pragma once

// Module1: the shell's open request, the window's one free function. No Qt
// here, so that the Windows definition builds with the Qt-free core.

#include <cstdint>
#include <optional>
#include <string>

namespace varnock::Module1 {

inline constexpr std::int32_t kShowMaximized = 3;  // SW_SHOWMAXIMIZED

#ifdef _WIN32
// The shell's result unchanged: above 32 on success, 32 or less on failure.
using OpenResult = std::int32_t;
#else
// Whether the desktop took the request: all that it tells.
using OpenResult = bool;
#endif

// Asks the system shell to open `file` with its default action: a web
// address in the default browser, a document in its program. `parameters`
// are handed on as they are; std::nullopt (no parameters) is distinct from
// an empty text. `showCommand` is how the new window is to be shown. The texts are single-byte (the
// system code page) already, so the shell reads the caller's own and leaves them as they were.
OpenResult OpenDocument(std::string& file, std::optional<std::string>& parameters,
                        const std::int32_t& showCommand);

}  // namespace varnock::Module1
