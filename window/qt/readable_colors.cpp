#include "window/qt/readable_colors.h"

namespace varnock {
namespace {

form::Bgr ToBgr(const QColor& color) {
    const QColor rgb = color.toRgb();
    return static_cast<form::Bgr>(rgb.red()) | static_cast<form::Bgr>(rgb.green()) << 8 |
           static_cast<form::Bgr>(rgb.blue()) << 16;
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    return ContrastRatio(ToBgr(a), ToBgr(b));
}

QColor ReadableTextColor(const QColor& preferred, const QColor& background) {
    const form::Bgr readable = ReadableTextColour(ToBgr(preferred), ToBgr(background));
    return readable == ToBgr(preferred)
               ? preferred
               : QColor(form::RedOf(readable), form::GreenOf(readable), form::BlueOf(readable));
}

}  // namespace varnock
