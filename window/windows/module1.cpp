#include "window/module1.h"

// shellapi.h needs windows.h first.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

namespace varnock::Module1 {

OpenResult OpenDocument(std::string& file, std::optional<std::string>& parameters,
                        const std::int32_t& showCommand) {
    // No owner window, the default action (a null operation), the current
    // directory. Null parameters reach the shell as a null pointer, empty
    // ones as a pointer to an empty text.
    const HINSTANCE result =
        ShellExecuteA(nullptr, nullptr, file.c_str(), parameters ? parameters->c_str() : nullptr,
                      nullptr, showCommand);
    // Not a real instance handle: an integer result, above 32 on success.
    return static_cast<std::int32_t>(reinterpret_cast<INT_PTR>(result));
}

}  // namespace varnock::Module1
