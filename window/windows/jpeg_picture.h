#pragma once

// The window's pictures are JPEGs stored in the program file; Windows'
// own picture loader (OleLoadPicture) decodes them, so nothing else ships.

// clang-format off
#include <windows.h>
#include <olectl.h>
// clang-format on

#include <optional>

#include "window/windows/gdi_handles.h"

namespace varnock::win32 {

class JpegPicture {
public:
    // The RCDATA resource `id` of `module`, decoded; none when it is
    // missing or does not decode.
    static std::optional<JpegPicture> FromResource(HINSTANCE module, int id);

    // Owned by the picture.
    HBITMAP Bitmap() const { return bitmap_; }
    SIZE Size() const { return size_; }

private:
    JpegPicture(ComPtr<IPicture> picture, HBITMAP bitmap, SIZE size)
        : picture_(std::move(picture)), bitmap_(bitmap), size_(size) {}

    ComPtr<IPicture> picture_;
    HBITMAP bitmap_;
    SIZE size_;
};

}  // namespace varnock::win32
