#pragma once

// The window is laid out in twips (1/1440 inch), so it keeps its size in
// inches on every screen: 15 twips to the pixel at 96 dots per inch, 10 at
// 144. Both windows convert with the same rounding.

#include <cstdint>

namespace varnock {

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kStandardDpi = 96;

// Rounds half away from zero, as the layout's values are meant.
constexpr int TwipsToPixels(int twips, int dpi = kStandardDpi) {
    const std::int64_t scaled = static_cast<std::int64_t>(twips) * dpi;
    const std::int64_t half = kTwipsPerInch / 2;
    return static_cast<int>((scaled >= 0 ? scaled + half : scaled - half) / kTwipsPerInch);
}

static_assert(TwipsToPixels(5580) == 372 && TwipsToPixels(3480) == 232);
static_assert(TwipsToPixels(5580, 144) == 558 && TwipsToPixels(3480, 192) == 464);
static_assert(TwipsToPixels(-45) == -3 && TwipsToPixels(-105) == -7);

}  // namespace varnock
