#include "window/form_description.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace varnock::form {
namespace {

constexpr Bgr kWhite = 0x00FFFFFF;
constexpr Bgr kFrameLine = 0x00FFC0C0;      // light blue
constexpr Bgr kSeparatorLine = 0x00808080;  // grey

constexpr Colour kButtonText = Colour::System(SystemColour::kButtonText);

constexpr std::string_view kIpCaption = "Remote Ip Address";
constexpr std::string_view kMacCaption = "Remote MAC Address";

constexpr WindowDescription kWindow{
    .name = "Form1",
    .title = "Varnock",
    .widthTwips = 5580,
    .heightTwips = 3480,
    .background = 0x00FEEDE9,  // very light blue
    .font = {"MS Sans Serif", 8.25, 400},
};

constexpr std::array<ControlDescription, 16> kControls{{
    {.name = "Picture2",
     .kind = ControlKind::kPictureBox,
     .place = {825, 2550, 300, 435},
     .tabIndex = 10,
     .picture = Picture::kRibbon,
     .toolTip = "Care For AIDS Victims",
     .accessibleName = "Red ribbon",
     .accessibleRole = AccessibleRole::kGraphic},
    {.name = "Picture1",
     .kind = ControlKind::kPictureBox,
     .place = {4845, 1320, 540, 450},
     .tabIndex = 7,
     .picture = Picture::kLogo,
     .toolTip = "Visit Developer's Website",
     .accessibleName = "Orbelund website",
     .accessibleRole = AccessibleRole::kLink},
    {.name = "Command1",
     .kind = ControlKind::kButton,
     .place = {4890, 510, 495, 360},
     .tabIndex = 6,
     .text = "&Get",
     .textColour = kButtonText,
     .background = Colour::Fixed(kWhite),
     .alignment = Alignment::kCentre,
     .flatBorder = true},
    {.name = "txtMAC",
     .kind = ControlKind::kTextBox,
     .place = {135, 1380, 4590, 345},
     .tabIndex = 1,
     .font = Font{"Verdana", 9, 700},
     .textColour = Colour::System(SystemColour::kWindowText),
     .background = Colour::System(SystemColour::kWindow),
     .flatBorder = true,
     .accessibleName = kMacCaption},
    {.name = "txtIp",
     .kind = ControlKind::kTextBox,
     .place = {2160, 570, 2565, 315},
     .tabIndex = 0,
     .font = Font{"Verdana", 8.25, 700},
     .textColour = Colour::System(SystemColour::kWindowText),
     .background = Colour::System(SystemColour::kWindow),
     .flatBorder = true,
     .accessibleName = kIpCaption},
    {.name = "Label6",
     .kind = ControlKind::kLabel,
     .place = {1380, 2625, 3675, 285},
     .tabIndex = 9,
     .text = "40 millions infected. Still Growing ...",
     .font = Font{"Tahoma", 8.25, 700},
     .textColour = kButtonText},
    {.name = "Label5",
     .kind = ControlKind::kLabel,
     .place = {270, 1905, 4605, 495},
     .tabIndex = 8,
     .text = "A Freeware tool for harvesting Remote MAC Address from www.orbelund.example",
     .font = Font{"Tahoma", 8.25, 400},
     .textColour = kButtonText,
     .alignment = Alignment::kCentre,
     .wordWrap = true},
    {.name = "Label4",
     .kind = ControlKind::kLabel,
     .place = {135, 1035, 2295, 270},
     .tabIndex = 5,
     .text = kMacCaption,
     .font = Font{"Verdana", 9, 400},
     .textColour = kButtonText},
    {.name = "Label2",
     .kind = ControlKind::kLabel,
     .place = {135, 615, 1965, 285},
     .tabIndex = 4,
     .text = kIpCaption,
     .font = Font{"Verdana", 8.25, 400},
     .textColour = kButtonText},
    {.name = "Line3",
     .kind = ControlKind::kLine,
     .from = {-105, 3435},
     .to = {5595, 3435},
     .lineWidthPixels = 5,
     .textColour = Colour::Fixed(kFrameLine)},
    {.name = "Label3",
     .kind = ControlKind::kLabel,
     .place = {5235, 15, 285, 255},
     .tabIndex = 3,
     .text = "X",
     .font = Font{"MS Sans Serif", 8.25, 700},
     .textColour = Colour::Fixed(0x00FF0000),  // blue
     .background = Colour::Fixed(0x00B7F170),  // light green
     .alignment = Alignment::kCentre,
     .flatBorder = true,
     .accessibleName = "Close",
     .accessibleRole = AccessibleRole::kButton},
    {.name = "imgLogo", .kind = ControlKind::kImage, .place = {0, 0, 360, 300}},
    {.name = "Label1",
     .kind = ControlKind::kLabel,
     .place = {-45, -15, 5655, 315},
     .tabIndex = 2,
     // Seven spaces clear the icon drawn over the strip's left end.
     .text = "       Varnock",
     .font = Font{"MS Serif", 9.75, 700},
     .textColour = Colour::Fixed(kWhite),
     .background = Colour::Fixed(0x00800000),  // navy
     .accessibleName = "Varnock"},
    {.name = "Line1",
     .kind = ControlKind::kLine,
     .from = {15, 45},
     .to = {30, 3375},
     .lineWidthPixels = 5,
     .textColour = Colour::Fixed(kFrameLine)},
    {.name = "Line2",
     .kind = ControlKind::kLine,
     .from = {5550, 60},
     .to = {5550, 3405},
     .lineWidthPixels = 5,
     .textColour = Colour::Fixed(kFrameLine)},
    {.name = "Line4",
     .kind = ControlKind::kLine,
     .from = {30, 2370},
     .to = {5580, 2370},
     .lineWidthPixels = 1,
     .textColour = Colour::Fixed(kSeparatorLine)},
}};

constexpr std::array<StartUpText, 3> kStartUpTexts{{
    {"txtIp", "0.0.0.0"},
    {"txtMAC", ""},
    {"Command1", "Get"},
}};

// Liberation Sans has the widths of the classic sans face. Verdana was the
// model for the Vera design that DejaVu Sans continues, so it keeps that
// face's wide letters; Tahoma is the narrow sibling of Verdana and matches
// the sans widths better than DejaVu does. The title is indented past the
// icon with spaces, and Liberation Serif's narrow space would slide it
// under the icon; DejaVu Serif's is as wide as the old serif face's.
constexpr std::array<FontSubstitute, 4> kFontSubstitutes{{
    {"MS Sans Serif", {"Liberation Sans", "DejaVu Sans"}},
    {"MS Serif", {"DejaVu Serif", "Liberation Serif"}},
    {"Verdana", {"DejaVu Sans", "Liberation Sans"}},
    {"Tahoma", {"Liberation Sans", "DejaVu Sans"}},
}};

}  // namespace

const WindowDescription& Window() {
    return kWindow;
}

std::span<const ControlDescription> Controls() {
    return kControls;
}

const ControlDescription& Control(std::string_view name) {
    const auto found = std::find_if(kControls.begin(), kControls.end(),
                                    [name](const ControlDescription& c) { return c.name == name; });
    if (found == kControls.end()) {
        throw std::out_of_range("the window has no control " + std::string(name));
    }
    return *found;
}

const Font& FontOf(const ControlDescription& control) {
    return control.font ? *control.font : kWindow.font;
}

std::array<const ControlDescription*, 5> TabOrder() {
    std::array<const ControlDescription*, 5> order{};
    std::size_t count = 0;
    for (const ControlDescription& control : kControls) {
        if (control.TakesFocus()) {
            order.at(count++) = &control;
        }
    }
    if (count != order.size()) {
        throw std::logic_error("the window's focus chain has another length");
    }
    std::sort(order.begin(), order.end(),
              [](const auto* a, const auto* b) { return *a->tabIndex < *b->tabIndex; });
    return order;
}

std::span<const StartUpText> StartUpTexts() {
    return kStartUpTexts;
}

std::span<const FontSubstitute> FontSubstitutes() {
    return kFontSubstitutes;
}

}  // namespace varnock::form
