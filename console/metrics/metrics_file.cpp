#include "console/metrics/metrics_file.h"

#include <chrono>
#include <utility>
#include <vector>

#include "console/metrics/metrics_text.h"
#include "console/system.h"

namespace varnock::console {
namespace {

class MetricsFile final : public RecordWriter {
public:
    MetricsFile(std::string path, std::string recordName, DeviceNames names, WatchReport report)
        : path_(std::move(path)),
          recordName_(std::move(recordName)),
          names_(std::move(names)),
          report_(std::move(report)) {}

    void Save(const NeighbourRecord& record, WallClock::time_point now) override {
        if (written_ && record.Version() == version_ && now - *written_ < kQuietest) {
            return;
        }
        const std::vector<SeenNeighbour> seen = record.Seen();
        const std::vector<RecordMetrics> records{{recordName_, true, now, seen, &record.Told()}};
        const DeviceNameOf nameOf = [this](const HardwareAddressBytes& bytes) {
            const DeviceName* name = names_.Of(bytes);
            return name == nullptr ? nullptr : &name->name;
        };
        if (const auto problem =
                ReplaceFileContents(path_, FormatMetrics(records, nameOf, VARNOCK_VERSION_TEXT))) {
            if (!failing_) {
                report_("--metrics-file " + path_ + ": cannot be written (" + *problem +
                        "); trying again");
            }
            failing_ = true;
            return;
        }
        if (failing_) {
            report_("--metrics-file " + path_ + ": written again");
        }
        failing_ = false;
        version_ = record.Version();
        written_ = now;
    }

    std::optional<std::string> Lost() const override {
        if (!failing_) {
            return std::nullopt;
        }
        return "--metrics-file " + path_ + ": the last metrics could not be written";
    }

private:
    // Its saved time must move while the watch runs (RecordNotSaved).
    static constexpr std::chrono::minutes kQuietest{1};

    std::string path_;
    std::string recordName_;
    DeviceNames names_;
    WatchReport report_;
    std::uint64_t version_ = 0;
    std::optional<WallClock::time_point> written_;
    bool failing_ = false;
};

}  // namespace

std::unique_ptr<RecordWriter> MetricsFileWriter(std::string path, std::string recordName,
                                                DeviceNames names, WatchReport report) {
    return std::make_unique<MetricsFile>(std::move(path), std::move(recordName), std::move(names),
                                         std::move(report));
}

}  // namespace varnock::console
