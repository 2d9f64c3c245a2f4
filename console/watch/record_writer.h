#pragma once

#include <optional>
#include <string>

#include "console/watch/neighbour_record.h"

namespace varnock::console {

// One place the record is written now and then (--state; next, other files
// made from it). The watch calls Save at most every save interval and once
// at the end; a writer reports its own failure once and says when it works
// again (through the report it was made with), and keeps trying at each
// Save. Nothing here may wait long: the watch's events wait meanwhile.
class RecordWriter {
public:
    virtual ~RecordWriter() = default;

    // Writes the record as it stands at `now`, when it has anything new.
    virtual void Save(const NeighbourRecord& record, WallClock::time_point now) = 0;

    // After the last Save: why what the watch saw is not all written, if
    // it is not (the watch then ends with a failure).
    virtual std::optional<std::string> Lost() const = 0;
};

}  // namespace varnock::console
