// The window's painting: the labels, the icon image and the lines, which
// have no window of their own, and the flat Get button.
#include <algorithm>
#include <string>

#include "window/text_contrast.h"
#include "window/twips.h"
#include "window/windows/form1.h"
#include "window/windows/window_text.h"

namespace varnock::win32 {

using form::ControlDescription;
using form::ControlKind;

form::Bgr Form1::TextColour(const form::Colour& colour, form::Bgr beneath) const {
    if (colour.fixed) {
        return *colour.fixed;
    }
    // A dark theme's light text would vanish on the window's own light
    // colours.
    const int systemColour = colour.system == form::SystemColour::kWindowText ? COLOR_WINDOWTEXT
                             : colour.system == form::SystemColour::kWindow   ? COLOR_WINDOW
                                                                              : COLOR_BTNTEXT;
    return ReadableTextColour(GetSysColor(systemColour), beneath);
}

void Form1::Paint(HDC dc) {
    RECT client{};
    GetClientRect(hwnd_, &client);
    // Off screen first, so the layers never flicker.
    MemoryDc canvas(dc);
    const UniqueBitmap surface(CreateCompatibleBitmap(dc, client.right, client.bottom));
    if (canvas.Get() == nullptr || surface == nullptr) {
        return;
    }
    canvas.Select(surface.get());
    const UniqueBrush background(CreateSolidBrush(form::Window().background));
    FillRect(canvas.Get(), &client, background.get());
    SetBkMode(canvas.Get(), TRANSPARENT);
    for (auto control = controls_.rbegin(); control != controls_.rend(); ++control) {
        if (control->window == nullptr) {
            PaintWindowless(canvas.Get(), *control);
        }
    }
    BitBlt(dc, 0, 0, client.right, client.bottom, canvas.Get(), 0, 0, SRCCOPY);
}

void Form1::PaintWindowless(HDC dc, const Control& control) {
    const ControlDescription& description = *control.description;
    RECT place = control.place;
    switch (description.kind) {
        case ControlKind::kLine: {
            const int width =
                std::max(1, MulDiv(description.lineWidthPixels, dpi_, USER_DEFAULT_SCREEN_DPI));
            const UniquePen pen(CreatePen(PS_SOLID, width, *description.textColour->fixed));
            const HGDIOBJ previous = SelectObject(dc, pen.get());
            MoveToEx(dc, TwipsToPixels(description.from.x, dpi_),
                     TwipsToPixels(description.from.y, dpi_), nullptr);
            LineTo(dc, TwipsToPixels(description.to.x, dpi_),
                   TwipsToPixels(description.to.y, dpi_));
            SelectObject(dc, previous);
            return;
        }
        case ControlKind::kImage:
            if (imgLogoPicture_ != nullptr) {
                DrawIconEx(dc, place.left, place.top, imgLogoPicture_, place.right - place.left,
                           place.bottom - place.top, 0, nullptr, DI_NORMAL);
            }
            return;
        case ControlKind::kLabel: {
            form::Bgr beneath = form::Window().background;
            if (description.background) {
                beneath = description.name == "Label3" ? closeLabelColour_
                                                       : *description.background->fixed;
                const UniqueBrush brush(CreateSolidBrush(beneath));
                FillRect(dc, &place, brush.get());
            }
            if (description.flatBorder) {
                FrameRect(dc, &place, GetSysColorBrush(COLOR_WINDOWFRAME));
                InflateRect(&place, -1, -1);
            }
            const HGDIOBJ previous = SelectObject(dc, control.font.get());
            SetTextColor(dc, TextColour(*description.textColour, beneath));
            const std::string text(description.text);
            const UINT format =
                (description.alignment == form::Alignment::kCentre ? DT_CENTER : DT_LEFT) | DT_TOP |
                DT_NOPREFIX | (description.wordWrap ? DT_WORDBREAK : DT_SINGLELINE);
            DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &place, format);
            SelectObject(dc, previous);
            return;
        }
        case ControlKind::kTextBox:
        case ControlKind::kButton:
        case ControlKind::kPictureBox:
            return;
    }
}

// The flat Get button: its white face inside a one-pixel frame, the text
// centred (a pixel down and right while pressed) and a dotted rectangle
// while it has the focus.
void Form1::DrawButton(const DRAWITEMSTRUCT& item) {
    const Control& control = Named("Command1");
    const ControlDescription& description = *control.description;
    HDC dc = item.hDC;
    RECT face = item.rcItem;
    const form::Bgr faceColour = *description.background->fixed;
    const UniqueBrush brush(CreateSolidBrush(faceColour));
    FillRect(dc, &face, brush.get());
    FrameRect(dc, &face, GetSysColorBrush(COLOR_WINDOWFRAME));
    InflateRect(&face, -1, -1);
    RECT text = face;
    if ((item.itemState & ODS_SELECTED) != 0) {
        OffsetRect(&text, 1, 1);
    }
    const std::string caption = WindowText(item.hwndItem);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, TextColour(*description.textColour, faceColour));
    const HGDIOBJ previous = SelectObject(dc, control.font.get());
    DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, previous);
    if ((item.itemState & ODS_FOCUS) != 0) {
        InflateRect(&face, -2, -2);
        DrawFocusRect(dc, &face);
    }
}

}  // namespace varnock::win32
