#pragma once

#include "web/http/http_message.h"
#include "web/site/site_snapshot.h"

namespace varnock::web {

// Every path of the site, answered from one snapshot of the records:
//   /                              the inventory page (filters as query parameters)
//   /device/IFACE/HW               one device, its addresses and history
//   /api/v1/devices                JSON; .csv the same as CSV
//   /api/v1/devices/IFACE/HW       one device with its history
//   /api/v1/events?since=TIME      the logs' events after TIME
//   /api/v1/records                each record, readable or why not
//   /api/v1/openapi.json           the API's description
//   /assets/NAME-HASH.EXT          the compiled assets, cached for a year
//   /metrics                       the records as Prometheus text
// Anything else is 404; a bad filter value 400 saying which. Pages and API
// documents carry an ETag of their bytes and answer If-None-Match with 304.
// Pure: no file, no clock, no socket; safe from any number of threads.
HttpResponse Serve(const HttpRequest& request, const SiteSnapshot& snapshot);

}  // namespace varnock::web
