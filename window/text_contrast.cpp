#include "window/text_contrast.h"

#include <algorithm>
#include <cmath>

namespace varnock {
namespace {

double Linear(int channel) {
    // sRGB's transfer curve undone, per channel in 0..1.
    const double value = channel / 255.0;
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double RelativeLuminance(form::Bgr colour) {
    return 0.2126 * Linear(form::RedOf(colour)) + 0.7152 * Linear(form::GreenOf(colour)) +
           0.0722 * Linear(form::BlueOf(colour));
}

constexpr form::Bgr kBlack = 0x00000000;
constexpr form::Bgr kWhite = 0x00FFFFFF;

}  // namespace

double ContrastRatio(form::Bgr a, form::Bgr b) {
    const double first = RelativeLuminance(a);
    const double second = RelativeLuminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

form::Bgr ReadableTextColour(form::Bgr preferred, form::Bgr background) {
    if (ContrastRatio(preferred, background) >= kReadableContrast) {
        return preferred;
    }
    return ContrastRatio(kBlack, background) >= ContrastRatio(kWhite, background) ? kBlack : kWhite;
}

}  // namespace varnock
