#pragma once

// The window as it is described, once, for every toolkit: its settings, and
// each control's kind, place and size in twips, texts, font, colours, tab
// index, tooltip and accessible name, listed in stacking order. The Qt
// window (Unix desktops) and the Win32 window (Windows) only draw what is
// written here; neither keeps a number or a text of its own.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace varnock::form {

// A colour as the Windows graphics interface takes it: 0x00BBGGRR.
using Bgr = std::uint32_t;

constexpr int RedOf(Bgr colour) {
    return static_cast<int>(colour & 0xFFu);
}
constexpr int GreenOf(Bgr colour) {
    return static_cast<int>((colour >> 8) & 0xFFu);
}
constexpr int BlueOf(Bgr colour) {
    return static_cast<int>((colour >> 16) & 0xFFu);
}

// Colours the theme gives rather than the description.
enum class SystemColour { kButtonText, kWindowText, kWindow };

// Either a fixed colour or one of the system's.
struct Colour {
    std::optional<Bgr> fixed;
    SystemColour system = SystemColour::kButtonText;

    static constexpr Colour Fixed(Bgr bgr) { return {bgr, SystemColour::kButtonText}; }
    static constexpr Colour System(SystemColour role) { return {std::nullopt, role}; }
};

struct Font {
    std::string_view face;
    double points = 0;
    int weight = 400;  // 400 regular, 700 bold; never italic, underlined or struck out

    bool IsBold() const { return weight >= 700; }
};

struct TwipsPoint {
    int x = 0;
    int y = 0;
};

struct TwipsRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

enum class ControlKind {
    kLabel,       // windowless: draws its text, and its background when opaque
    kImage,       // windowless: stretches its picture (the window's icon) to its size
    kLine,        // windowless: a solid line; takes no mouse events
    kTextBox,     // one editable line
    kButton,      // a flat push button
    kPictureBox,  // a picture at one pixel per image pixel, cut at the box's edges
};

enum class Alignment { kLeft, kCentre };

enum class Picture { kNone, kLogo, kRibbon };

// What a screen reader announces, where the kind would say something else:
// the maker's logo is a link, the close label a button.
enum class AccessibleRole { kOfKind, kLink, kGraphic, kButton };

struct ControlDescription {
    std::string_view name;
    ControlKind kind = ControlKind::kLabel;
    TwipsRect place{};  // all but lines
    TwipsPoint from{};  // lines only
    TwipsPoint to{};
    int lineWidthPixels = 1;  // lines only
    std::optional<int> tabIndex{};
    std::string_view text{};  // as described; Form_Load changes some of them
    std::optional<Font> font{};
    std::optional<Colour> textColour{};  // also a line's colour
    std::optional<Colour> background{};  // none: transparent
    Alignment alignment = Alignment::kLeft;
    bool flatBorder = false;
    bool wordWrap = false;
    Picture picture = Picture::kNone;
    std::string_view toolTip{};
    // What a screen reader says; the text itself when empty.
    std::string_view accessibleName{};
    AccessibleRole accessibleRole = AccessibleRole::kOfKind;

    // Controls with a window of their own lie above the windowless ones.
    bool HasOwnWindow() const {
        return kind == ControlKind::kTextBox || kind == ControlKind::kButton ||
               kind == ControlKind::kPictureBox;
    }
    // Labels, the image and the lines never take the focus.
    bool TakesFocus() const { return tabIndex.has_value() && HasOwnWindow(); }
};

struct WindowDescription {
    std::string_view name;
    std::string_view title;  // the name the system shows, not drawn inside
    int widthTwips = 0;      // the client area; fixed, no border, no caption
    int heightTwips = 0;
    Bgr background = 0;
    Font font;  // for every control that names none
};

const WindowDescription& Window();

// Every control, first on top.
std::span<const ControlDescription> Controls();

// The control named `name`; throws std::out_of_range for a name the window
// does not have.
const ControlDescription& Control(std::string_view name);

// The font `control` is drawn in: its own or the window's.
const Font& FontOf(const ControlDescription& control);

// The controls that take the focus, in the order Tab moves through them.
std::array<const ControlDescription*, 5> TabOrder();

// Form_Load's text assignments, in their order (the icon goes to imgLogo
// first). "Get" replaces the described "&Get": no access key.
struct StartUpText {
    std::string_view control;
    std::string_view text;
};
std::span<const StartUpText> StartUpTexts();

// Installed faces of nearly the same widths for the described ones that a
// desktop may lack, best first.
struct FontSubstitute {
    std::string_view face;
    std::array<std::string_view, 2> substitutes;
};
std::span<const FontSubstitute> FontSubstitutes();

}  // namespace varnock::form
