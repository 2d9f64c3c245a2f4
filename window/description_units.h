#pragma once

// The window's layout is written in twips (1/1440 inch) and its colours as
// 0x00BBGGRR, so that every number in form1.cpp reads as the layout table
// gives it. These helpers turn them into Qt's logical pixels and QColor in
// one visible step.

#include <QColor>
#include <QPoint>
#include <QRect>
#include <cstdint>

namespace varnock {

// 1440 twips to the inch at 96 logical pixels to the inch. Qt scales
// logical pixels on high-DPI screens, so the window keeps its proportions.
inline constexpr int kTwipsPerPixel = 15;

constexpr int TwipsToPixels(int twips) {
    // Round half away from zero, as the description's values are meant.
    const int half = kTwipsPerPixel / 2;
    return (twips >= 0 ? twips + half : twips - half) / kTwipsPerPixel;
}

constexpr QPoint TwipsPoint(int x, int y) {
    return {TwipsToPixels(x), TwipsToPixels(y)};
}

constexpr QRect TwipsRect(int left, int top, int width, int height) {
    return {TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height)};
}

// 0x00BBGGRR: red in the low byte.
inline QColor ColorFromBgr(std::uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFFu), static_cast<int>((bgr >> 8) & 0xFFu),
                  static_cast<int>((bgr >> 16) & 0xFFu));
}

static_assert(TwipsToPixels(5580) == 372 && TwipsToPixels(3480) == 232);
static_assert(TwipsToPixels(-45) == -3 && TwipsToPixels(-105) == -7);

}  // namespace varnock
