#pragma once

#include <string>

#include "web/site/site_snapshot.h"

namespace varnock::web {

// /metrics: the snapshot's records as Prometheus text (console/metrics/
// metrics_text.h), the same text a watch writes with --metrics-file. A
// device named in the names files is a known device.
std::string MetricsText(const SiteSnapshot& snapshot);

}  // namespace varnock::web
