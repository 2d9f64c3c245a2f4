#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "lookup/arp_request.h"
#include "window/form_description.h"
#include "window/form_mouse.h"
#include "window/get_command.h"
#include "window/module1.h"
#include "window/windows/gdi_handles.h"
#include "window/windows/jpeg_picture.h"
#include "window/windows/picture_box.h"

namespace varnock::win32 {

inline constexpr const char* kForm1Class = "VarnockForm1";

// The program's one window, drawn from the shared description with the
// system's own controls: a borderless popup whose labels, icon image and
// lines it paints itself (they have no window of their own, so they take
// no focus and lie beneath the boxes, the button and the pictures), and
// whose boxes, button and picture boxes are child windows. Every size is
// in twips, converted with the screen's real density.
//
// The window uses the lookup only through `request`, which must outlive it.
class Form1 final : private FormView {
public:
    Form1(HINSTANCE instance, ArpRequest& request);
    ~Form1();
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    HWND Handle() const { return hwnd_; }

    // Shows the window with the focus in the address box.
    void Show(int showCommand);

    // For the message loop, before a message is translated and dispatched:
    // true when the window has dealt with it (Tab moves the focus; input
    // while a lookup is out is thrown away).
    bool PreTranslate(const MSG& message);

private:
    struct Control {
        const form::ControlDescription* description = nullptr;
        HWND window = nullptr;  // none for the labels, the image and the lines
        RECT place{};           // in pixels on the client area
        UniqueFont font;
    };

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void CreateControls();
    void Form_Load();
    void Layout(int dpi);
    Control& Named(std::string_view name);

    void Paint(HDC dc);
    void PaintWindowless(HDC dc, const Control& control);
    void DrawButton(const DRAWITEMSTRUCT& item);
    form::Bgr TextColour(const form::Colour& colour, form::Bgr beneath) const;

    // The windowless control under `point`, top first; none over the bare
    // window (the lines take no mouse events).
    const Control* WindowlessAt(POINT point) const;
    void RouteMouseMove(POINT point);
    void RouteButtonDown(UINT message, POINT point);
    void RouteButtonUp(POINT point);
    void MoveFocus(bool backwards);

    // What the mouse handlers ask of the window.
    void ShowCloseLabelColour(form::Bgr colour) override;
    void BeginWindowDrag() override;
    void EndProgram() override;

    // The Get command.
    void Command1_Click();
    void FinishGetCommand();

    // Posted by the Get command's worker when its lookup is back.
    static constexpr UINT kGetCommandDone = WM_APP + 1;

    HINSTANCE instance_;
    ArpRequest& request_;
    HWND hwnd_ = nullptr;
    HWND toolTips_ = nullptr;
    HWND lastFocus_ = nullptr;
    int dpi_ = USER_DEFAULT_SCREEN_DPI;
    std::vector<Control> controls_;
    UniqueIcon icon_;
    UniqueIcon smallIcon_;
    HICON imgLogoPicture_ = nullptr;  // the window's icon, once Form_Load gives it
    std::optional<JpegPicture> logo_, logoTwice_, ribbon_, ribbonTwice_;
    PictureBoxPictures logoPictures_, ribbonPictures_;
    form::Bgr closeLabelColour_;
    bool closePressed_ = false;
    FormMouse mouse_{*this, Module1::OpenDocument};

    // The Get command's lookup runs on a worker thread; the window paints
    // but takes no input until it is back.
    std::thread worker_;
    GetCommandOutcome outcome_;
    bool busy_ = false;
};

}  // namespace varnock::win32
