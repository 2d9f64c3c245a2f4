// Looks at the running Varnock window from another process of the same wine
// prefix, for desktop_test.sh: what a screenshot cannot tell (window classes,
// texts, the keyboard focus, the message box's parts). One command a run:
//
//   form_probe window          the form: rect on the screen, client size, kind and frame
//   form_probe controls        one line per child window: class, rect in the
//                              client area, focus, text
//   form_probe box [SECONDS]   waits for the "Orbelund" message box, describes it
//   form_probe close-box       presses the box's OK button, waits until it is gone
//   form_probe tip [SECONDS]   waits for a tooltip of the program, prints its text
//   form_probe popups          the program's visible top-level windows, tooltips aside
//   form_probe dpi             the dots per inch that programs see
//
// Texts are printed in double quotes with \\, \", \r, \n and \t escaped.
// Exits 1 with a message on stderr on any failure, 2 on a wrong command line.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kFormClass = "VarnockForm1";
constexpr const char* kFormTitle = "Varnock";
constexpr const char* kBoxClass = "#32770";  // the dialog class MessageBox uses
constexpr const char* kBoxTitle = "Orbelund";

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "form_probe: %s\n", message.c_str());
    std::exit(1);
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += c;
        }
    }
    return out + "\"";
}

std::string ClassOf(HWND window) {
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

// GetWindowTextA does not ask a window of another process for the text of
// an edit control; WM_GETTEXT does, and the system copies the text across.
std::string TextOf(HWND window) {
    std::vector<char> text(4096);
    const LRESULT length =
        SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    return std::string(text.data(), static_cast<std::size_t>(length > 0 ? length : 0));
}

HWND FindForm() {
    HWND form = FindWindowA(kFormClass, kFormTitle);
    if (form == nullptr) Fail("no window of class VarnockForm1 titled Varnock");
    return form;
}

DWORD ProcessOf(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

// Polls `found` every 50 ms until it gives a window or `seconds` pass.
template <typename Find>
HWND WaitFor(double seconds, Find found) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    while (true) {
        if (HWND window = found()) return window;
        if (GetTickCount64() >= deadline) return nullptr;
        Sleep(50);
    }
}

std::string SecondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}

double SecondsArgument(int argc, char** argv, double otherwise) {
    if (argc < 3) return otherwise;
    char* end = nullptr;
    const double seconds = std::strtod(argv[2], &end);
    if (end == argv[2] || *end != '\0' || seconds < 0) Fail(std::string("not seconds: ") + argv[2]);
    return seconds;
}

// A named callback: a lambda has the wrong calling convention on 32-bit
// Windows.
BOOL CALLBACK AddWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> windows;
    EnumWindows(AddWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

int ShowForm() {
    HWND form = FindForm();
    RECT rect;
    RECT client;
    GetWindowRect(form, &rect);
    GetClientRect(form, &client);
    const auto style = static_cast<DWORD>(GetWindowLongA(form, GWL_STYLE));
    // Popup or not, and whatever frame the system would draw around it.
    std::string kind = (style & WS_POPUP) ? "popup" : "overlapped";
    if ((style & WS_CAPTION) == WS_CAPTION) kind += " caption";
    if (style & WS_THICKFRAME) kind += " thickframe";
    if ((style & WS_CAPTION) == WS_BORDER) kind += " border";
    if (style & WS_DLGFRAME && (style & WS_CAPTION) != WS_CAPTION) kind += " dlgframe";
    std::printf("window %ld %ld %ld %ld client %ld %ld %s%s\n", rect.left, rect.top,
                rect.right - rect.left, rect.bottom - rect.top, client.right, client.bottom,
                kind.c_str(), IsWindowVisible(form) ? " visible" : " hidden");
    return 0;
}

HWND FocusOf(HWND form) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &info))
        Fail("GetGUIThreadInfo failed for the window's thread");
    return info.hwndFocus;
}

int ShowControls() {
    HWND form = FindForm();
    HWND focus = FocusOf(form);
    // Direct children only, in their z-order.
    for (HWND child = GetWindow(form, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect;
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&rect), 2);
        std::printf("%s %ld %ld %ld %ld %s%s %s\n", ClassOf(child).c_str(), rect.left, rect.top,
                    rect.right - rect.left, rect.bottom - rect.top, child == focus ? "focus" : "-",
                    IsWindowVisible(child) ? "" : " hidden", Quoted(TextOf(child)).c_str());
    }
    return 0;
}

HWND FindBox() {
    HWND box = FindWindowA(kBoxClass, kBoxTitle);
    return box != nullptr && IsWindowVisible(box) ? box : nullptr;
}

// The message box draws one of the system's icons; the other process's
// icon handle cannot be read from here, so the icon is compared as drawn: the
// screen under the icon control against each system icon drawn here on the
// same background. Gives the icon that matches all but a few pixels (a
// cursor may cross it), or "unknown" with the closest one.
std::string IconOnScreen(HWND iconControl) {
    RECT rect;
    GetWindowRect(iconControl, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) Fail("the icon control has no area");
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height;  // top-down rows
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP canvas = CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (canvas == nullptr) Fail("CreateDIBSection failed");
    HGDIOBJ before = SelectObject(memory, canvas);
    const auto* pixels = static_cast<const DWORD*>(bits);
    const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (!BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY))
        Fail("cannot read the screen under the icon");
    GdiFlush();
    const std::vector<DWORD> shown(pixels, pixels + count);
    // The control's corner is background in every system icon. A DIB pixel
    // is 0x00RRGGBB; a COLORREF is 0x00BBGGRR.
    const DWORD corner = shown[0];
    HBRUSH background =
        CreateSolidBrush(RGB((corner >> 16) & 0xFF, (corner >> 8) & 0xFF, corner & 0xFF));
    struct Candidate {
        const char* name;
        LPCSTR id;
    };
    const Candidate candidates[] = {{"stop", IDI_HAND},
                                    {"exclamation", IDI_EXCLAMATION},
                                    {"information", IDI_ASTERISK},
                                    {"question", IDI_QUESTION},
                                    {"application", IDI_APPLICATION}};
    const char* closest = "none";
    std::size_t fewest = count + 1;
    for (const Candidate& candidate : candidates) {
        RECT all{0, 0, width, height};
        FillRect(memory, &all, background);
        // As a message box draws it: DrawIcon at the control's top left,
        // at the system's icon size.
        DrawIcon(memory, 0, 0, LoadIconA(nullptr, candidate.id));
        GdiFlush();
        std::size_t differing = 0;
        for (std::size_t i = 0; i < count; ++i)
            if ((pixels[i] & 0xFFFFFF) != (shown[i] & 0xFFFFFF)) ++differing;
        if (differing < fewest) {
            fewest = differing;
            closest = candidate.name;
        }
    }
    DeleteObject(background);
    SelectObject(memory, before);
    DeleteObject(canvas);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (fewest * 20 <= count) return closest;
    return "unknown: closest " + std::string(closest) + ", " + std::to_string(fewest) + " of " +
           std::to_string(count) + " pixels differ";
}

int ShowBox(double seconds) {
    HWND box = WaitFor(seconds, FindBox);
    if (box == nullptr) Fail("no visible Orbelund message box within " + SecondsText(seconds));
    HWND owner = GetWindow(box, GW_OWNER);
    std::printf("owner %s %s\n", owner ? ClassOf(owner).c_str() : "none",
                owner ? Quoted(TextOf(owner)).c_str() : "\"\"");
    HWND prompt = nullptr;
    HWND icon = nullptr;
    std::vector<HWND> buttons;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) continue;
        const std::string kind = ClassOf(child);
        const auto style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
        if (_stricmp(kind.c_str(), "Button") == 0) {
            buttons.push_back(child);
        } else if (_stricmp(kind.c_str(), "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
            icon = child;
        } else if (_stricmp(kind.c_str(), "Static") == 0 && !TextOf(child).empty()) {
            prompt = child;
        }
    }
    std::printf("prompt %s\n", prompt ? Quoted(TextOf(prompt)).c_str() : "none");
    if (icon == nullptr || SendMessageA(icon, STM_GETICON, 0, 0) == 0) {
        std::printf("icon none\n");
    } else {
        std::printf("icon %s\n", IconOnScreen(icon).c_str());
    }
    for (HWND button : buttons)
        std::printf("button %d %s\n", GetDlgCtrlID(button), Quoted(TextOf(button)).c_str());
    return 0;
}

int CloseBox() {
    HWND box = FindBox();
    if (box == nullptr) Fail("no visible Orbelund message box");
    HWND ok = GetDlgItem(box, IDOK);
    if (ok == nullptr) Fail("the message box has no OK button");
    // Sent, so the click is handled before this returns; the box then ends
    // its own modal loop.
    SendMessageA(ok, BM_CLICK, 0, 0);
    if (WaitFor(5, [box]() -> HWND { return IsWindow(box) ? nullptr : box; }) == nullptr)
        Fail("the message box is still there 5 s after OK");
    std::printf("closed\n");
    return 0;
}

HWND FindTip(DWORD process) {
    for (HWND window : TopLevelWindows()) {
        if (ProcessOf(window) == process && IsWindowVisible(window) &&
            _stricmp(ClassOf(window).c_str(), "tooltips_class32") == 0)
            return window;
    }
    return nullptr;
}

int ShowTip(double seconds) {
    const DWORD process = ProcessOf(FindForm());
    HWND tip = WaitFor(seconds, [process] { return FindTip(process); });
    if (tip == nullptr) Fail("no tooltip shown within " + SecondsText(seconds));
    std::printf("tip %s\n", Quoted(TextOf(tip)).c_str());
    return 0;
}

int ShowPopups() {
    const DWORD process = ProcessOf(FindForm());
    for (HWND window : TopLevelWindows()) {
        const std::string kind = ClassOf(window);
        if (ProcessOf(window) != process || !IsWindowVisible(window) ||
            _stricmp(kind.c_str(), "tooltips_class32") == 0)
            continue;
        std::printf("%s %s\n", kind.c_str(), Quoted(TextOf(window)).c_str());
    }
    return 0;
}

int ShowDpi() {
    HDC screen = GetDC(nullptr);
    std::printf("dpi %d %d\n", GetDeviceCaps(screen, LOGPIXELSX),
                GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Real pixels everywhere, whatever the prefix's dots per inch: the form
    // is measured against the X server's screenshots.
    SetProcessDPIAware();
    // Lines end in \n alone, as the shell script that reads them expects.
    _setmode(_fileno(stdout), _O_BINARY);
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "window" && argc == 2) return ShowForm();
    if (command == "controls" && argc == 2) return ShowControls();
    if (command == "box" && argc <= 3) return ShowBox(SecondsArgument(argc, argv, 10));
    if (command == "close-box" && argc == 2) return CloseBox();
    if (command == "tip" && argc <= 3) return ShowTip(SecondsArgument(argc, argv, 5));
    if (command == "popups" && argc == 2) return ShowPopups();
    if (command == "dpi" && argc == 2) return ShowDpi();
    std::fprintf(stderr,
                 "usage: form_probe window | controls | box [SECONDS] | close-box | tip [SECONDS]"
                 " | popups | dpi\n");
    return 2;
}
