#pragma once

#include <string_view>

namespace varnock::web {

// /api/v1/openapi.json: the OpenAPI 3.0 description of the API (its
// version is the API's, v1). The tests hold it against the documents the
// API writes.
std::string_view OpenApiDocument();

}  // namespace varnock::web
