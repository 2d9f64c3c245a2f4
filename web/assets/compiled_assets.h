#pragma once

#include <span>
#include <string_view>

namespace varnock::web {

// A file of web/assets/ compiled into the program (embed_assets.cmake
// writes the table at build time): nothing is served from disk.
struct CompiledAsset {
    std::string_view name;  // "style.css"
    std::string_view hash;  // the first 12 hexadecimal digits of its SHA-256
    std::string_view body;
};

std::span<const CompiledAsset> CompiledAssets();

}  // namespace varnock::web
