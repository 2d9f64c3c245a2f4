#include "window/windows/jpeg_picture.h"

#include <ole2.h>

#include <cstring>

namespace varnock::win32 {

std::optional<JpegPicture> JpegPicture::FromResource(HINSTANCE module, int id) {
    HRSRC resource =
        FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));  // RT_RCDATA
    if (resource == nullptr) {
        return std::nullopt;
    }
    const DWORD size = SizeofResource(module, resource);
    const void* bytes = LockResource(LoadResource(module, resource));
    if (bytes == nullptr || size == 0) {
        return std::nullopt;
    }
    // The loader reads from a stream, which takes over the memory block.
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (block == nullptr) {
        return std::nullopt;
    }
    std::memcpy(GlobalLock(block), bytes, size);
    GlobalUnlock(block);
    IStream* rawStream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(block, TRUE, &rawStream))) {
        GlobalFree(block);
        return std::nullopt;
    }
    const ComPtr<IStream> stream(rawStream);
    IPicture* rawPicture = nullptr;
    if (FAILED(OleLoadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture,
                              reinterpret_cast<void**>(&rawPicture)))) {
        return std::nullopt;
    }
    ComPtr<IPicture> picture(rawPicture);
    OLE_HANDLE handle = 0;
    BITMAP bitmap{};
    if (FAILED(picture->get_Handle(&handle)) ||
        GetObjectA(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), sizeof bitmap,
                   &bitmap) == 0) {
        return std::nullopt;
    }
    return JpegPicture(std::move(picture), reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)),
                       SIZE{bitmap.bmWidth, bitmap.bmHeight});
}

}  // namespace varnock::win32
