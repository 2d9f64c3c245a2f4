#include "window/windows/form1.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "window/twips.h"
#include "window/windows/described_fonts.h"
#include "window/windows/resource_ids.h"

namespace varnock::win32 {
namespace {

using form::ControlDescription;
using form::ControlKind;

constexpr int kFirstControlId = 100;  // clear of IDOK and IDCANCEL
constexpr UINT kDpiChanged = 0x02E0;  // WM_DPICHANGED, Windows 8.1 and later

// The density of the monitor the window is on (Windows 10 and later), or
// the system's.
int DpiOf(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow =
        reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void (*)()>(
            GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow != nullptr) {
        if (const UINT dpi = getDpiForWindow(window); dpi != 0) {
            return static_cast<int>(dpi);
        }
    }
    HDC screen = GetDC(window);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(window, screen);
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

RECT PixelsOf(const ControlDescription& control, int dpi) {
    if (control.kind == ControlKind::kLine) {
        // Room for the pen's half width and its round ends on every side.
        const int reach = MulDiv(control.lineWidthPixels, dpi, USER_DEFAULT_SCREEN_DPI) / 2 + 1;
        return {TwipsToPixels(std::min(control.from.x, control.to.x), dpi) - reach,
                TwipsToPixels(std::min(control.from.y, control.to.y), dpi) - reach,
                TwipsToPixels(std::max(control.from.x, control.to.x), dpi) + reach,
                TwipsToPixels(std::max(control.from.y, control.to.y), dpi) + reach};
    }
    const form::TwipsRect& place = control.place;
    const int left = TwipsToPixels(place.left, dpi);
    const int top = TwipsToPixels(place.top, dpi);
    return {left, top, left + TwipsToPixels(place.width, dpi),
            top + TwipsToPixels(place.height, dpi)};
}

POINT PointOf(LPARAM lParam) {
    return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

bool IsInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

}  // namespace

Form1::Form1(HINSTANCE instance, ArpRequest& request)
    : instance_(instance),
      request_(request),
      closeLabelColour_(*form::Control("Label3").background->fixed) {
    RegisterPictureBoxClass(instance);
    icon_.reset(static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(VARNOCK_ICON_GROUP), IMAGE_ICON, 32, 32, 0)));
    smallIcon_.reset(static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(VARNOCK_ICON_GROUP), IMAGE_ICON, 16, 16, 0)));
    logo_ = JpegPicture::FromResource(instance, VARNOCK_LOGO);
    logoTwice_ = JpegPicture::FromResource(instance, VARNOCK_LOGO_TWICE);
    ribbon_ = JpegPicture::FromResource(instance, VARNOCK_RIBBON);
    ribbonTwice_ = JpegPicture::FromResource(instance, VARNOCK_RIBBON_TWICE);
    logoPictures_ = {logo_ ? &*logo_ : nullptr, logoTwice_ ? &*logoTwice_ : nullptr};
    ribbonPictures_ = {ribbon_ ? &*ribbon_ : nullptr, ribbonTwice_ ? &*ribbonTwice_ : nullptr};

    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = icon_.get();
    windowClass.hIconSm = smallIcon_.get();
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    windowClass.lpszClassName = kForm1Class;
    if (RegisterClassExA(&windowClass) == 0) {
        throw std::runtime_error("the window class could not be registered");
    }

    // A window with a caption, so that the system gives it its default
    // place (a popup would always go to the top left corner); the caption
    // goes before the window is first shown.
    const std::string title(form::Window().title);
    hwnd_ = CreateWindowExA(WS_EX_APPWINDOW, kForm1Class, title.c_str(),
                            WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
    if (hwnd_ == nullptr) {
        throw std::runtime_error("the window could not be created");
    }
    try {
        SetWindowLongPtrA(
            hwnd_, GWL_STYLE,
            static_cast<LONG_PTR>(WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX));
        CreateControls();
        Layout(DpiOf(hwnd_));
        Form_Load();
    } catch (...) {
        // Unhooked first: a window going away on this path must not end the
        // message loop that is about to report the failure.
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
        throw;
    }
}

Form1::~Form1() {
    if (worker_.joinable()) {
        worker_.join();
    }
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    }
}

void Form1::Show(int showCommand) {
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
    SetFocus(Named(form::TabOrder().front()->name).window);
}

Form1::Control& Form1::Named(std::string_view name) {
    for (Control& control : controls_) {
        if (control.description->name == name) {
            return control;
        }
    }
    throw std::out_of_range("the window has no control " + std::string(name));
}

void Form1::CreateControls() {
    int id = kFirstControlId;
    for (const ControlDescription& description : form::Controls()) {
        Control control;
        control.description = &description;
        const HMENU menuId = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++));
        const std::string text(description.text);
        switch (description.kind) {
            case ControlKind::kTextBox:
                // A flat box: one line, a one-pixel border, no limit of its
                // own (EM_SETLIMITTEXT 0 is the largest the system allows).
                control.window = CreateWindowExA(
                    0, "EDIT", text.c_str(),
                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_LEFT | ES_AUTOHSCROLL, 0, 0,
                    0, 0, hwnd_, menuId, instance_, nullptr);
                SendMessageA(control.window, EM_SETLIMITTEXT, 0, 0);
                break;
            case ControlKind::kButton:
                // Drawn here (WM_DRAWITEM): flat and in its own colour.
                control.window = CreateWindowExA(0, "BUTTON", text.c_str(),
                                                 WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW,
                                                 0, 0, 0, 0, hwnd_, menuId, instance_, nullptr);
                break;
            case ControlKind::kPictureBox:
                control.window = CreatePictureBox(
                    hwnd_, id - 1,
                    description.picture == form::Picture::kLogo ? logoPictures_ : ribbonPictures_);
                break;
            case ControlKind::kLabel:
            case ControlKind::kImage:
            case ControlKind::kLine:
                break;
        }
        if (description.HasOwnWindow() && control.window == nullptr) {
            throw std::runtime_error("the control " + std::string(description.name) +
                                     " could not be created");
        }
        controls_.push_back(std::move(control));
    }

    // Stacking as listed, first on top: each goes beneath the one before.
    for (const Control& control : controls_) {
        if (control.window != nullptr) {
            SetWindowPos(control.window, HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }

    toolTips_ =
        CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_, nullptr);
    for (const Control& control : controls_) {
        if (toolTips_ == nullptr || control.window == nullptr ||
            control.description->toolTip.empty()) {
            continue;
        }
        std::string tip(control.description->toolTip);
        TOOLINFOA tool{};
        // The size older common controls know, so the tips work without a
        // manifest naming a newer version.
        tool.cbSize = TTTOOLINFOA_V2_SIZE;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = hwnd_;
        tool.uId = reinterpret_cast<UINT_PTR>(control.window);
        tool.lpszText = tip.data();  // copied by the control
        SendMessageA(toolTips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void Form1::Form_Load() {
    // The image stretches the window's icon to its own size.
    imgLogoPicture_ = icon_.get();
    // "Get" without the ampersand: no access key, Alt+G does nothing.
    for (const form::StartUpText& startUp : form::StartUpTexts()) {
        const std::string text(startUp.text);
        SetWindowTextA(Named(startUp.control).window, text.c_str());
    }
}

void Form1::Layout(int dpi) {
    dpi_ = dpi;
    const form::WindowDescription& window = form::Window();
    SetWindowPos(hwnd_, nullptr, 0, 0, TwipsToPixels(window.widthTwips, dpi),
                 TwipsToPixels(window.heightTwips, dpi),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    for (Control& control : controls_) {
        control.place = PixelsOf(*control.description, dpi);
        if (control.description->kind != ControlKind::kLine &&
            control.description->kind != ControlKind::kImage) {
            control.font = CreateDescribedFont(form::FontOf(*control.description), dpi);
        }
        if (control.window != nullptr) {
            const RECT& place = control.place;
            MoveWindow(control.window, place.left, place.top, place.right - place.left,
                       place.bottom - place.top, FALSE);
            SendMessageA(control.window, WM_SETFONT, reinterpret_cast<WPARAM>(control.font.get()),
                         FALSE);
        }
    }
    logoPictures_.dpi = dpi;
    ribbonPictures_.dpi = dpi;
    InvalidateRect(hwnd_, nullptr, TRUE);
    for (const Control& control : controls_) {
        if (control.window != nullptr) {
            InvalidateRect(control.window, nullptr, TRUE);
        }
    }
}

LRESULT CALLBACK Form1::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        form->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<Form1*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (form == nullptr) {
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        form->hwnd_ = nullptr;
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    // No exception may cross the system's code: one that reaches here is
    // told and ends the program, as an unhandled failure would.
    try {
        return form->HandleMessage(message, wParam, lParam);
    } catch (const std::exception& failure) {
        MessageBoxA(hwnd, failure.what(), "Varnock", MB_OK | MB_ICONHAND);
    } catch (...) {
        MessageBoxA(hwnd, "An unexpected failure ended the program.", "Varnock",
                    MB_OK | MB_ICONHAND);
    }
    PostQuitMessage(1);
    return 0;
}

LRESULT Form1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint{};
            HDC dc = BeginPaint(hwnd_, &paint);
            Paint(dc);
            EndPaint(hwnd_, &paint);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT covers every pixel
        case WM_DRAWITEM:
            DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_COMMAND:
            if (const int index = LOWORD(wParam) - kFirstControlId;
                HIWORD(wParam) == BN_CLICKED && index >= 0 &&
                index < static_cast<int>(controls_.size())) {
                const std::string_view name =
                    controls_[static_cast<std::size_t>(index)].description->name;
                if (name == "Command1") {
                    Command1_Click();
                } else {
                    mouse_.Clicked(name);
                }
            }
            return 0;
        case WM_MOUSEMOVE:
            RouteMouseMove(PointOf(lParam));
            return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_XBUTTONDOWN:
            RouteButtonDown(message, PointOf(lParam));
            return 0;
        case WM_LBUTTONUP:
            RouteButtonUp(PointOf(lParam));
            return 0;
        case WM_CAPTURECHANGED:
            closePressed_ = false;
            return 0;
        case WM_SETCURSOR:
            if (busy_) {
                SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));  // IDC_WAIT
                return TRUE;
            }
            break;
        case kGetCommandDone:
            FinishGetCommand();
            return 0;
        case kDpiChanged: {
            // Every size again for the new monitor's density, at the place
            // the system suggests.
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            Layout(HIWORD(wParam));
            return 0;
        }
        case WM_CLOSE:
            // No close from the system while a lookup is out: its answer has
            // a window to go to.
            if (busy_) {
                return 0;
            }
            break;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_ACTIVATE:
            // Back to the control that had the focus, as a dialog does;
            // the system would give it to the bare window.
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND focus = GetFocus();
                lastFocus_ = IsChild(hwnd_, focus) ? focus : lastFocus_;
            } else if (lastFocus_ != nullptr && HIWORD(wParam) == 0) {
                SetFocus(lastFocus_);
                return 0;
            }
            break;
        default:
            break;
    }
    return DefWindowProcA(hwnd_, message, wParam, lParam);
}

bool Form1::PreTranslate(const MSG& message) {
    const bool ours = message.hwnd == hwnd_ || IsChild(hwnd_, message.hwnd);
    if (busy_ && IsInput(message.message)) {
        return true;
    }
    if (ours && message.message == WM_KEYDOWN && message.wParam == VK_TAB) {
        MoveFocus(GetKeyState(VK_SHIFT) < 0);
        return true;
    }
    return false;
}

void Form1::MoveFocus(bool backwards) {
    const auto order = form::TabOrder();
    const HWND focus = GetFocus();
    std::size_t at = 0;
    bool found = false;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (Named(order[i]->name).window == focus) {
            at = i;
            found = true;
        }
    }
    const std::size_t count = order.size();
    const std::size_t next = !found ? 0 : backwards ? (at + count - 1) % count : (at + 1) % count;
    SetFocus(Named(order[next]->name).window);
}

}  // namespace varnock::win32
