#pragma once

#include <string>
#include <string_view>

#include "web/assets/compiled_assets.h"

namespace varnock::web {

// Where an asset is served: "/assets/style-0123456789ab.css" for
// "style.css". A new content is a new path, so a browser may keep each for
// a year.
std::string AssetPath(std::string_view name);

// The asset served at `path` (its hashed path); nothing for any other.
const CompiledAsset* AssetAt(std::string_view path);

// "text/css; charset=utf-8" and so on, by the name's extension.
std::string_view AssetContentType(std::string_view name);

}  // namespace varnock::web
