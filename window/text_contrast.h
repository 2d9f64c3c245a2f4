#pragma once

// Whether a text colour can be read on a background. The window keeps the
// theme's colours for its texts, but some are drawn on fixed colours of its
// own (the light blue face, the white button), where a dark theme's light
// text would vanish.

#include "window/form_description.h"

namespace varnock {

// Contrast as the web content accessibility guidelines measure it: the
// ratio of the lighter colour's relative luminance (+0.05) to the darker
// one's, from 1 (the same) to 21 (black on white).
double ContrastRatio(form::Bgr a, form::Bgr b);

// The least contrast normal-sized text needs to be read comfortably.
inline constexpr double kReadableContrast = 4.5;

// `preferred` when it can be read on `background`; otherwise black or
// white, whichever stands out more from it.
form::Bgr ReadableTextColour(form::Bgr preferred, form::Bgr background);

}  // namespace varnock
