#pragma once

// The described fonts as Windows fonts: by face name, at the screen's
// density, with the shared substitutes where a face is not installed.

#include <windows.h>

#include <string>

#include "window/form_description.h"
#include "window/windows/gdi_handles.h"

namespace varnock::win32 {

// `face` when it is installed, else its first installed substitute, else
// `face` (the system then picks what it has). Looked up once per face.
std::string InstalledFace(std::string_view face);

UniqueFont CreateDescribedFont(const form::Font& font, int dpi);

}  // namespace varnock::win32
