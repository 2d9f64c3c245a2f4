#pragma once

#include <QColor>

namespace varnock {

// Contrast as the web content accessibility guidelines measure it: the
// ratio of the lighter colour's relative luminance (+0.05) to the darker
// one's, from 1 (the same) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);

// The least contrast normal-sized text needs to be read comfortably.
inline constexpr double kReadableContrast = 4.5;

// `preferred` (a colour of the system's theme) when it can be read on
// `background`; otherwise black or white, whichever stands out more from
// it. The window draws some texts on fixed colours of its own, where a dark
// theme's light text would vanish.
QColor ReadableTextColor(const QColor& preferred, const QColor& background);

}  // namespace varnock
