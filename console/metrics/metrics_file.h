#pragma once

#include <memory>
#include <string>

#include "console/names/device_names.h"
#include "console/watch/record_writer.h"
#include "console/watch/state_file.h"

namespace varnock::console {

// --metrics-file: the watch's record as Prometheus text (metrics_text.h),
// replaced whole whenever the record changed and at least once a minute,
// for node_exporter's textfile collector. The record is labelled
// `recordName`; its saved time is when the file was written; `names` tell
// the known devices. A write that fails is reported once, tried again at
// each save, and said again when it works.
std::unique_ptr<RecordWriter> MetricsFileWriter(std::string path, std::string recordName,
                                                DeviceNames names, WatchReport report);

}  // namespace varnock::console
