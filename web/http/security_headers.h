#pragma once

#include <array>
#include <string_view>
#include <utility>

namespace varnock::web {

// Sent with every answer, errors included: nothing but the page's own
// scripts, styles and images; no framing; no guessing of types; no referrer.
inline constexpr std::array<std::pair<std::string_view, std::string_view>, 5> kSecurityHeaders{{
    {"Content-Security-Policy",
     "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
     "connect-src 'self'; base-uri 'none'; form-action 'self'; frame-ancestors 'none'"},
    {"X-Content-Type-Options", "nosniff"},
    {"Referrer-Policy", "no-referrer"},
    {"X-Frame-Options", "DENY"},
    {"Cross-Origin-Resource-Policy", "same-origin"},
}};

}  // namespace varnock::web
