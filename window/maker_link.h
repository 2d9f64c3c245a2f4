#pragma once

// A click on the maker's logo asks the shell to open the maker's web page,
// maximized. Nothing that fails on the way troubles the user.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "window/module1.h"

namespace varnock {

// The host that the about text names, no path.
inline constexpr std::string_view kMakerWebPage = "https://www.orbelund.example";

// Module1::OpenDocument, or a stand-in.
using DocumentOpener = std::function<Module1::OpenResult(
    std::string& file, std::optional<std::string>& parameters, const std::int32_t& showCommand)>;

// Picture1_Click: opens kMakerWebPage with no parameters (a null text, not
// an empty one) and SW_SHOWMAXIMIZED. What the shell tells is not looked at,
// and a failure raised on the way is dropped.
void FollowMakerLink(const DocumentOpener& openDocument) noexcept;

}  // namespace varnock
