#pragma once

// Owners for the handles of the Windows graphics interface and of COM
// objects: each is given back on every path.

#include <windows.h>

#include <memory>
#include <type_traits>

namespace varnock::win32 {

struct GdiObjectDeleter {
    void operator()(void* object) const { DeleteObject(static_cast<HGDIOBJ>(object)); }
};
template <typename Handle>
using UniqueGdiObject = std::unique_ptr<std::remove_pointer_t<Handle>, GdiObjectDeleter>;
using UniqueFont = UniqueGdiObject<HFONT>;
using UniqueBrush = UniqueGdiObject<HBRUSH>;
using UniquePen = UniqueGdiObject<HPEN>;
using UniqueBitmap = UniqueGdiObject<HBITMAP>;

struct IconDeleter {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

struct ComReleaser {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename Interface>
using ComPtr = std::unique_ptr<Interface, ComReleaser>;

// A memory device context for drawing off screen; it gives back whatever
// was selected into it before it is deleted.
class MemoryDc {
public:
    explicit MemoryDc(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
    ~MemoryDc() {
        if (selected_ != nullptr) {
            SelectObject(dc_, selected_);
        }
        if (dc_ != nullptr) {
            DeleteDC(dc_);
        }
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;

    HDC Get() const { return dc_; }
    // Selects `object`; the first object it replaced goes back at the end.
    void Select(HGDIOBJ object) {
        const HGDIOBJ previous = SelectObject(dc_, object);
        if (selected_ == nullptr) {
            selected_ = previous;
        }
    }

private:
    HDC dc_;
    HGDIOBJ selected_ = nullptr;
};

}  // namespace varnock::win32
