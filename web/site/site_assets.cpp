#include "web/site/site_assets.h"

namespace varnock::web {
namespace {

std::string HashedPath(const CompiledAsset& asset) {
    const std::size_t dot = asset.name.rfind('.');
    const std::string_view stem = asset.name.substr(0, dot);
    const std::string_view extension =
        dot == std::string_view::npos ? std::string_view() : asset.name.substr(dot);
    return "/assets/" + std::string(stem) + "-" + std::string(asset.hash) + std::string(extension);
}

}  // namespace

std::string AssetPath(std::string_view name) {
    for (const CompiledAsset& asset : CompiledAssets()) {
        if (asset.name == name) {
            return HashedPath(asset);
        }
    }
    return "/assets/" + std::string(name);  // none such: a path that is not found
}

const CompiledAsset* AssetAt(std::string_view path) {
    for (const CompiledAsset& asset : CompiledAssets()) {
        if (HashedPath(asset) == path) {
            return &asset;
        }
    }
    return nullptr;
}

std::string_view AssetContentType(std::string_view name) {
    if (name.ends_with(".css")) {
        return "text/css; charset=utf-8";
    }
    if (name.ends_with(".js")) {
        return "text/javascript; charset=utf-8";
    }
    if (name.ends_with(".svg")) {
        return "image/svg+xml";
    }
    return "application/octet-stream";
}

}  // namespace varnock::web
