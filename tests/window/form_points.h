#pragma once

// What the window tests look at, worked out from the form's description so
// that a change to the form is made there only: each control's box, the
// middle of each line, the points a person would click or a test would read
// a colour at, in pixels from the window's top left corner at a given number
// of dots per inch. Toolkit-free; the desktop tests read the same values
// from the shell file that write_form_points makes of them.
//
// Pixels are worked out here with a conversion of their own, not the
// window's (window/twips.h), so that a test comparing the two checks it.

#include <string>

#include "window/form_description.h"

namespace varnock::testing {

struct PixelPoint {
    int x = 0;
    int y = 0;
};

struct PixelBox {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    int Right() const { return left + width; }  // one past the last column
    int Bottom() const { return top + height; }
    PixelPoint Middle() const { return {left + width / 2, top + height / 2}; }
};

// Twips to pixels at `dpi`, rounded half away from zero.
int PixelsOf(int twips, int dpi);
PixelPoint PixelsOf(form::TwipsPoint point, int dpi);
PixelBox PixelsOf(const form::TwipsRect& place, int dpi);

// The place of the control named `name` (not a line); throws
// std::out_of_range for a name the window does not have.
PixelBox BoxOf(std::string_view name, int dpi);

// The middle of the line named `name`, halfway between its ends.
PixelPoint MiddleOfLine(std::string_view name, int dpi);

// A fixed colour of the description as a screenshot shows it: "r,g,b".
std::string ColourText(form::Bgr colour);

// The points the tests share, each chosen for what lies there.
struct FormPoints {
    // At (0, 0).
    PixelBox window;
    // On the title strip, halfway from the icon to the close label.
    PixelPoint title;
    // The strip in the window's last column, over the right frame line.
    PixelPoint titleEnd;
    // Inside the close label's border, beside its X.
    PixelPoint closeInside;
    // The bare window between the title strip and the controls below it.
    PixelPoint bare;
    // The Get button's face: inside its border and focus line, left of its text.
    PixelPoint getFace;
};
FormPoints PointsAt(int dpi);

// Every value above and the colours, as lines a shell sources: NAME=VALUE,
// boxes as "X Y W H".
std::string ShellLines(int dpi);

}  // namespace varnock::testing
