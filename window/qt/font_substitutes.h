#pragma once

namespace varnock {

// Maps the faces the window is described in to installed faces of nearly
// the same widths, so the fixed layout neither clips nor wraps differently.
// Safe to call more than once.
void InstallFontSubstitutes();

}  // namespace varnock
