#pragma once

#include <windows.h>

#include <string>

namespace varnock::win32 {

// The text of a window or control, single-byte in the system code page.
inline std::string WindowText(HWND window) {
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace varnock::win32
