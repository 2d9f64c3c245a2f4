#include "tests/window/form_points.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>

#include "window/close_label.h"

namespace varnock::testing {
namespace {

form::Bgr FixedColour(const std::optional<form::Colour>& colour, std::string_view name) {
    if (!colour || !colour->fixed) {
        throw std::logic_error(std::string(name) + " has no fixed colour");
    }
    return *colour->fixed;
}

form::Bgr BackgroundOf(std::string_view name) {
    return FixedColour(form::Control(name).background, name);
}

std::string BoxText(const PixelBox& box) {
    std::ostringstream text;
    text << '"' << box.left << ' ' << box.top << ' ' << box.width << ' ' << box.height << '"';
    return text.str();
}

}  // namespace

int PixelsOf(int twips, int dpi) {
    return static_cast<int>(std::lround(twips * static_cast<double>(dpi) / 1440.0));
}

PixelPoint PixelsOf(form::TwipsPoint point, int dpi) {
    return {PixelsOf(point.x, dpi), PixelsOf(point.y, dpi)};
}

PixelBox PixelsOf(const form::TwipsRect& place, int dpi) {
    return {PixelsOf(place.left, dpi), PixelsOf(place.top, dpi), PixelsOf(place.width, dpi),
            PixelsOf(place.height, dpi)};
}

PixelBox BoxOf(std::string_view name, int dpi) {
    return PixelsOf(form::Control(name).place, dpi);
}

PixelPoint MiddleOfLine(std::string_view name, int dpi) {
    const form::ControlDescription& line = form::Control(name);
    const PixelPoint from = PixelsOf(line.from, dpi);
    const PixelPoint to = PixelsOf(line.to, dpi);
    return {(from.x + to.x) / 2, (from.y + to.y) / 2};
}

std::string ColourText(form::Bgr colour) {
    return std::to_string(form::RedOf(colour)) + ',' + std::to_string(form::GreenOf(colour)) + ',' +
           std::to_string(form::BlueOf(colour));
}

FormPoints PointsAt(int dpi) {
    const form::WindowDescription& window = form::Window();
    const PixelBox strip = BoxOf("Label1", dpi);
    const PixelBox icon = BoxOf("imgLogo", dpi);
    const PixelBox close = BoxOf("Label3", dpi);
    const PixelBox get = BoxOf("Command1", dpi);
    FormPoints points;
    points.window = {0, 0, PixelsOf(window.widthTwips, dpi), PixelsOf(window.heightTwips, dpi)};
    points.title = {(icon.Right() + close.left) / 2, strip.Middle().y};
    points.titleEnd = {points.window.width - 1, strip.Bottom() - 2};
    points.closeInside = {close.left + 2, close.top + 2};
    // Below the strip, halfway down to the highest control under it.
    int below = INT_MAX;
    for (const form::ControlDescription& control : form::Controls()) {
        const int top = PixelsOf(control.place.top, dpi);
        if (control.kind != form::ControlKind::kLine && top >= strip.Bottom()) {
            below = std::min(below, top);
        }
    }
    points.bare = {points.title.x, (strip.Bottom() + below) / 2};
    points.getFace = {get.left + 4, get.Middle().y};
    return points;
}

std::string ShellLines(int dpi) {
    const FormPoints points = PointsAt(dpi);
    std::ostringstream out;
    const auto point = [&out](std::string_view name, PixelPoint at) {
        out << name << "_X=" << at.x << ' ' << name << "_Y=" << at.y << '\n';
    };
    const auto box = [&out, dpi](std::string_view name, std::string_view control) {
        out << name << '=' << BoxText(BoxOf(control, dpi)) << '\n';
    };
    out << "# The window's colours (red,green,blue, as a screenshot shows them) and places\n"
           "# (pixels from its top left corner at DPI dots per inch; boxes \"X Y W H\"),\n"
           "# worked out from window/form_description.cpp by write_form_points.\n";
    out << "DPI=" << dpi << '\n';
    out << "WINDOW_WIDTH=" << points.window.width << " WINDOW_HEIGHT=" << points.window.height
        << '\n';
    out << "BACKGROUND=" << ColourText(form::Window().background) << '\n';
    out << "TITLE_COLOUR=" << ColourText(BackgroundOf("Label1")) << '\n';
    out << "CLOSE_COLOUR=" << ColourText(BackgroundOf("Label3")) << '\n';
    out << "CLOSE_LIT_COLOUR=" << ColourText(kCloseLabelLit) << '\n';
    out << "GET_FACE_COLOUR=" << ColourText(BackgroundOf("Command1")) << '\n';
    point("TITLE", points.title);
    point("TITLE_END", points.titleEnd);
    point("CLOSE", BoxOf("Label3", dpi).Middle());
    point("CLOSE_INSIDE", points.closeInside);
    point("BARE", points.bare);
    point("IP", BoxOf("txtIp", dpi).Middle());
    point("GET", BoxOf("Command1", dpi).Middle());
    point("GET_FACE", points.getFace);
    point("LOGO", BoxOf("Picture1", dpi).Middle());
    box("IP_BOX", "txtIp");
    box("MAC_BOX", "txtMAC");
    box("GET_BOX", "Command1");
    box("LOGO_BOX", "Picture1");
    box("RIBBON_BOX", "Picture2");
    box("IP_CAPTION", "Label2");
    box("AWARENESS_LINE", "Label6");
    // The frame's lines and the separator: the middle, width and colour of each.
    for (const auto& [name, line] :
         {std::pair{"LEFT_LINE", "Line1"}, std::pair{"RIGHT_LINE", "Line2"},
          std::pair{"BOTTOM_LINE", "Line3"}, std::pair{"SEPARATOR", "Line4"}}) {
        const form::ControlDescription& described = form::Control(line);
        point(name, MiddleOfLine(line, dpi));
        out << name << "_WIDTH=" << described.lineWidthPixels << ' ' << name
            << "_COLOUR=" << ColourText(FixedColour(described.textColour, line)) << '\n';
    }
    return out.str();
}

}  // namespace varnock::testing
