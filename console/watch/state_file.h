#pragma once

#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "console/watch/neighbour_record.h"
#include "console/watch/record_writer.h"

namespace varnock::console {

// What a report of the watch goes through: one line on standard error.
using WatchReport = std::function<void(const std::string&)>;

// The record's file (--state), locked for as long as the watch runs.
struct OpenedStateFile {
    std::unique_ptr<RecordWriter> writer;
    std::vector<SeenNeighbour> restored;  // what the file held: none when new
};

// Locks the file `given` names (through links, the link's target) and
// reads what it holds; or why it cannot be used (the file is then left as
// it was: the user may want what it holds).
std::variant<OpenedStateFile, std::string> OpenStateFile(const std::string& given,
                                                         WatchReport report);

}  // namespace varnock::console
