#pragma once

namespace varnock::console {

// Exit statuses of varnock-cli.
inline constexpr int kExitAnswered = 0;       // every address answered
inline constexpr int kExitNoAnswer = 1;       // at least one did not
inline constexpr int kExitUsage = 2;          // nothing was asked: the command line is wrong
inline constexpr int kExitSystemError = 2;    // the results could not be written, a lookup
                                              // could not be made, or the run broke
inline constexpr int kExitInterrupted = 130;  // SIGINT or SIGTERM (Ctrl+C) ended the run early

}  // namespace varnock::console
