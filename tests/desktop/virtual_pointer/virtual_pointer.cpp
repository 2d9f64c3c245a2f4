// A pointer for a headless wlroots compositor (sway), which has none of its
// own: every step is sent as a virtual pointer's input, as a mouse would.
//
//   virtual_pointer WIDTH HEIGHT STEP...
//
// WIDTH x HEIGHT is the output's size in pixels (the extent of absolute
// moves). Steps, run in order:
//   to X Y      move to (X, Y) of the output
//   by DX DY    move by (DX, DY), as a mouse does
//   press       left button down
//   release     left button up
//   click       press, then release
//   wait MS     pause
// Exit status 0 when every step reached the compositor, 1 when it offers no
// virtual pointer or the connection broke, 2 for a wrong command line.

#include <linux/input-event-codes.h>
#include <wayland-client.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "virtual-pointer-unstable-v1-client-protocol.h"

namespace {

struct Globals {
    zwlr_virtual_pointer_manager_v1* manager = nullptr;
};

void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t /*version*/) {
    if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        static_cast<Globals*>(data)->manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    }
}

void OnGlobalRemove(void* /*data*/, wl_registry* /*registry*/, std::uint32_t /*name*/) {}

constexpr wl_registry_listener kRegistryListener{OnGlobal, OnGlobalRemove};

std::uint32_t NowMs() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool ParseInt(const char* text, int& value) {
    try {
        std::size_t used = 0;
        value = std::stoi(text, &used);
        return used == std::strlen(text);
    } catch (...) {
        return false;
    }
}

int Usage(const char* message) {
    std::fprintf(stderr, "virtual_pointer: %s\n", message);
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    int width = 0;
    int height = 0;
    if (argc < 3 || !ParseInt(argv[1], width) || !ParseInt(argv[2], height) || width <= 0 ||
        height <= 0) {
        return Usage("usage: virtual_pointer WIDTH HEIGHT STEP...");
    }
    const std::vector<std::string_view> steps(argv + 3, argv + argc);

    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "virtual_pointer: no Wayland display\n");
        return 1;
    }
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &globals);
    wl_display_roundtrip(display);
    if (globals.manager == nullptr) {
        std::fprintf(stderr, "virtual_pointer: the compositor offers no virtual pointer\n");
        wl_display_disconnect(display);
        return 1;
    }
    // No seat named: the compositor's default one.
    zwlr_virtual_pointer_v1* pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.manager, nullptr);

    int status = 0;
    const auto button = [&](wl_pointer_button_state state) {
        zwlr_virtual_pointer_v1_button(pointer, NowMs(), BTN_LEFT, state);
    };
    for (std::size_t i = 0; i < steps.size() && status == 0; ++i) {
        const std::string_view step = steps[i];
        const auto number = [&](int& value) {
            return i + 1 < steps.size() && ParseInt(steps[++i].data(), value);
        };
        int x = 0;
        int y = 0;
        if (step == "to" && number(x) && number(y) && x >= 0 && y >= 0) {
            zwlr_virtual_pointer_v1_motion_absolute(
                pointer, NowMs(), static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y),
                static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
        } else if (step == "by" && number(x) && number(y)) {
            zwlr_virtual_pointer_v1_motion(pointer, NowMs(), wl_fixed_from_int(x),
                                           wl_fixed_from_int(y));
        } else if (step == "press") {
            button(WL_POINTER_BUTTON_STATE_PRESSED);
        } else if (step == "release") {
            button(WL_POINTER_BUTTON_STATE_RELEASED);
        } else if (step == "click") {
            button(WL_POINTER_BUTTON_STATE_PRESSED);
            zwlr_virtual_pointer_v1_frame(pointer);
            button(WL_POINTER_BUTTON_STATE_RELEASED);
        } else if (step == "wait" && number(x) && x >= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(x));
            continue;
        } else {
            status = Usage(("cannot read the step " + std::string(step)).c_str());
            break;
        }
        zwlr_virtual_pointer_v1_frame(pointer);
        // The compositor has handled the step once it answers the roundtrip.
        if (wl_display_roundtrip(display) < 0) {
            std::fprintf(stderr, "virtual_pointer: the connection broke\n");
            status = 1;
        }
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    zwlr_virtual_pointer_manager_v1_destroy(globals.manager);
    wl_registry_destroy(registry);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return status;
}
