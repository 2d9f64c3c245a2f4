#include "window/maker_link.h"

#include "window/module1.h"

namespace varnock {

void FollowMakerLink(const DocumentOpener& openDocument) noexcept {
    try {
        std::string file(kMakerWebPage);
        std::optional<std::string> parameters;
        const std::int32_t showCommand = Module1::kShowMaximized;
        [[maybe_unused]] const std::int32_t result = openDocument(file, parameters, showCommand);
    } catch (...) {
    }
}

}  // namespace varnock
