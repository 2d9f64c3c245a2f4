#include "window/maker_link.h"

namespace varnock {

void FollowMakerLink(const DocumentOpener& openDocument) noexcept {
    try {
        std::string file(kMakerWebPage);
        std::optional<std::string> parameters;
        const std::int32_t showCommand = Module1::kShowMaximized;
        openDocument(file, parameters, showCommand);
    } catch (...) {
    }
}

}  // namespace varnock
