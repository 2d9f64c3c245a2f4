#pragma once

// How --exec's COMMAND is found and started on Windows.

#include <string>
#include <variant>

namespace varnock::console {

// What CreateProcessW is given.
struct HookProgram {
    std::wstring application;  // the file that is started
    std::wstring commandLine;  // its command line: only its own name
};

// COMMAND (in the system's ANSI code page, as the command line gave it)
// found as exec finds a command on Linux: a name with a folder in it as it
// is, a bare name in the folders of PATH only, never the current folder.
// A name without an extension is tried with each of PATHEXT's. A batch file
// (.cmd, .bat) is run by cmd.exe, as Windows runs one; nothing else goes
// through a shell, and no arguments are given. Otherwise the reason it
// cannot be run, worded as on Linux where Linux has the case.
std::variant<HookProgram, std::string> FindHookProgram(const std::string& command);

// The system's message for a Windows error code, on one line.
std::string WindowsErrorText(unsigned long error);

}  // namespace varnock::console
