#pragma once

// The close label's light: white while the mouse moves over it, its own
// light green again when the mouse moves over the title label or the bare
// window. Moves over anything else, and leaving the window, change nothing.

#include <optional>

#include "window/form_description.h"

namespace varnock {

inline constexpr form::Bgr kCloseLabelRest = 0x00B7F170;  // as described, light green
inline constexpr form::Bgr kCloseLabelLit = 0x00FFFFFF;

enum class PointerOver { kTitleLabel, kCloseLabel, kBareWindow, kOtherControl };

// The close label's background after a mouse move over `place`; none when
// it keeps the one it has. Every move sets the colour again, lit or not.
constexpr std::optional<form::Bgr> CloseLabelColourAfterMove(PointerOver place) {
    switch (place) {
        case PointerOver::kCloseLabel:
            return kCloseLabelLit;
        case PointerOver::kTitleLabel:
        case PointerOver::kBareWindow:
            return kCloseLabelRest;
        case PointerOver::kOtherControl:
            break;
    }
    return std::nullopt;
}

}  // namespace varnock
