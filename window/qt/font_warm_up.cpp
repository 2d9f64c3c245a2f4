#include "window/qt/font_warm_up.h"

#include <fontconfig/fontconfig.h>

namespace varnock {

// Qt finds fonts through fontconfig, whose first use reads its whole
// configuration (some forty XML files) and the font caches: about a third
// of the window's start, and all of it on the way to the first paint. Done
// here first, Qt finds it ready. fontconfig builds its default configuration
// once and atomically, so Qt asking meanwhile would be safe, but both would
// build one: the program waits for this one instead (Wait).
FontWarmUp::FontWarmUp() : thread_([] { FcInit(); }) {}

FontWarmUp::~FontWarmUp() {
    Wait();
}

void FontWarmUp::Wait() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

}  // namespace varnock
