#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "web/site/site_snapshot.h"

namespace varnock::web {

// The watch's --log holds one JSON object per line (docs/watch.md): a type,
// a time, an interface and a hardware address at least.
std::optional<LogEvent> ParseEventLine(std::string_view line);

// Every event of a log's text, in the order written; a line that is no
// event (a cut last line while the watch writes, a foreign line) is counted
// in `status.badLines` and skipped.
struct LogRead {
    LogStatus status;
    std::vector<LogEvent> events;
};
LogRead ReadEventLog(std::string_view text, const std::string& path);

}  // namespace varnock::web
