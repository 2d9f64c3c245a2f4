// The Windows program: the window on Windows' own controls, statically
// linked, with nothing to install beside it.

// windows.h before the headers that build on it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
// clang-format on

#include <exception>
#include <memory>

#include "lookup/arp_request.h"
#include "window/windows/form1.h"

namespace {

// The picture loader needs COM on this thread.
class ComApartment {
public:
    ComApartment() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment() {
        if (initialised_) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialised_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int showCommand) {
    try {
        const ComApartment com;
        INITCOMMONCONTROLSEX commonControls{sizeof commonControls, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&commonControls);

        const auto request = varnock::MakeSystemArpRequest();
        varnock::win32::Form1 form(instance, *request);
        form.Show(showCommand);

        MSG message{};
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            if (form.PreTranslate(message)) {
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        return static_cast<int>(message.wParam);
    } catch (const std::exception& failure) {
        MessageBoxA(nullptr, failure.what(), "Varnock", MB_OK | MB_ICONHAND);
    } catch (...) {
        MessageBoxA(nullptr, "The window could not be made.", "Varnock", MB_OK | MB_ICONHAND);
    }
    return 1;
}
