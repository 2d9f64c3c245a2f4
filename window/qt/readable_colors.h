#pragma once

#include <QColor>

#include "window/text_contrast.h"

namespace varnock {

// The shared contrast rules (window/text_contrast.h) on Qt's colours.
double ContrastRatio(const QColor& a, const QColor& b);
QColor ReadableTextColor(const QColor& preferred, const QColor& background);

}  // namespace varnock
