#include "window/font_warm_up.h"

namespace varnock {

// Windows keeps its fonts ready for every program: nothing to do.
FontWarmUp::FontWarmUp() = default;

FontWarmUp::~FontWarmUp() = default;

void FontWarmUp::Wait() {}

}  // namespace varnock
