#pragma once

// A picture box: a child window that shows its picture from the top left
// corner, one image pixel to a pixel at 96 dpi and scaled with the screen
// beyond, cut at its edges. It takes the focus like any control, by Tab or
// by a click, and tells its parent of a click (a press and release of the
// left button inside it) with WM_COMMAND and BN_CLICKED.

#include <windows.h>

#include "window/windows/jpeg_picture.h"

namespace varnock::win32 {

inline constexpr const char* kPictureBoxClass = "VarnockPictureBox";

struct PictureBoxPictures {
    const JpegPicture* normal = nullptr;  // at 96 dpi
    const JpegPicture* twice = nullptr;   // twice the pixels each way, for denser screens
    int dpi = USER_DEFAULT_SCREEN_DPI;
};

// Registers the window class once per process.
void RegisterPictureBoxClass(HINSTANCE instance);

// `pictures` must outlive the box; change its dpi, then invalidate the box.
HWND CreatePictureBox(HWND parent, int id, PictureBoxPictures& pictures);

}  // namespace varnock::win32
