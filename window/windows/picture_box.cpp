#include "window/windows/picture_box.h"

#include "window/windows/gdi_handles.h"

namespace varnock::win32 {
namespace {

PictureBoxPictures& PicturesOf(HWND box) {
    return *reinterpret_cast<PictureBoxPictures*>(GetWindowLongPtrA(box, GWLP_USERDATA));
}

void Paint(HWND box, HDC dc) {
    RECT client{};
    GetClientRect(box, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const PictureBoxPictures& pictures = PicturesOf(box);
    // The finer picture wherever the screen has more than one pixel to the
    // picture's; scaled smoothly where the ratio is not exactly 2.
    const bool denser = pictures.dpi != USER_DEFAULT_SCREEN_DPI && pictures.twice != nullptr;
    const JpegPicture* picture = denser ? pictures.twice : pictures.normal;
    if (picture == nullptr) {
        return;
    }
    const SIZE source = picture->Size();
    const int scaleBase = denser ? 2 * USER_DEFAULT_SCREEN_DPI : USER_DEFAULT_SCREEN_DPI;
    const int width = MulDiv(source.cx, pictures.dpi, scaleBase);
    const int height = MulDiv(source.cy, pictures.dpi, scaleBase);
    MemoryDc pictureDc(dc);
    pictureDc.Select(picture->Bitmap());
    if (width == source.cx && height == source.cy) {
        BitBlt(dc, 0, 0, width, height, pictureDc.Get(), 0, 0, SRCCOPY);
    } else {
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchBlt(dc, 0, 0, width, height, pictureDc.Get(), 0, 0, source.cx, source.cy, SRCCOPY);
    }
}

void NotifyClick(HWND box) {
    const int id = GetDlgCtrlID(box);
    SendMessageA(GetParent(box), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(box));
}

LRESULT CALLBACK PictureBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCCREATE: {
            const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            SetWindowLongPtrA(box, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(create->lpCreateParams));
            break;
        }
        case WM_PAINT: {
            PAINTSTRUCT paint{};
            HDC dc = BeginPaint(box, &paint);
            Paint(box, dc);
            EndPaint(box, &paint);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_LBUTTONDOWN:
            SetFocus(box);
            SetCapture(box);
            return 0;
        case WM_LBUTTONUP:
            if (GetCapture() == box) {
                ReleaseCapture();
                RECT client{};
                GetClientRect(box, &client);
                const POINT at{static_cast<short>(LOWORD(lParam)),
                               static_cast<short>(HIWORD(lParam))};
                if (PtInRect(&client, at)) {
                    NotifyClick(box);
                }
            }
            return 0;
        default:
            break;
    }
    return DefWindowProcA(box, message, wParam, lParam);
}

}  // namespace

void RegisterPictureBoxClass(HINSTANCE instance) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = PictureBoxProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    windowClass.lpszClassName = kPictureBoxClass;
    RegisterClassA(&windowClass);
}

HWND CreatePictureBox(HWND parent, int id, PictureBoxPictures& pictures) {
    return CreateWindowExA(0, kPictureBoxClass, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 0, 0,
                           parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)),
                           &pictures);
}

}  // namespace varnock::win32
