#include "window/windows/described_fonts.h"

#include <cmath>
#include <cstring>
#include <map>

namespace varnock::win32 {
namespace {

int CALLBACK NoteFaceFound(const LOGFONTA* /*font*/, const TEXTMETRICA* /*metrics*/, DWORD /*type*/,
                           LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;  // one is enough
}

bool IsInstalled(std::string_view face) {
    LOGFONTA wanted{};
    if (face.size() >= sizeof wanted.lfFaceName) {
        return false;
    }
    std::memcpy(wanted.lfFaceName, face.data(), face.size());
    wanted.lfCharSet = ANSI_CHARSET;
    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExA(screen, &wanted, NoteFaceFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

std::string ResolveFace(std::string_view face) {
    if (IsInstalled(face)) {
        return std::string(face);
    }
    for (const form::FontSubstitute& substitute : form::FontSubstitutes()) {
        if (substitute.face != face) {
            continue;
        }
        for (std::string_view candidate : substitute.substitutes) {
            if (IsInstalled(candidate)) {
                return std::string(candidate);
            }
        }
    }
    return std::string(face);
}

}  // namespace

std::string InstalledFace(std::string_view face) {
    // A handful of faces for a dozen controls, asked again on every change
    // of density: each is looked up once. The window's thread only.
    static std::map<std::string, std::string, std::less<>> resolved;
    auto found = resolved.find(face);
    if (found == resolved.end()) {
        found = resolved.emplace(std::string(face), ResolveFace(face)).first;
    }
    return found->second;
}

UniqueFont CreateDescribedFont(const form::Font& font, int dpi) {
    // Points are 1/72 inch; a negative height asks for the character
    // height, as a point size means.
    const int height = -static_cast<int>(std::lround(font.points * dpi / 72.0));
    const std::string face = InstalledFace(font.face);
    return UniqueFont(CreateFontA(height, 0, 0, 0, font.weight, FALSE, FALSE, FALSE, ANSI_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                  DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
}

}  // namespace varnock::win32
