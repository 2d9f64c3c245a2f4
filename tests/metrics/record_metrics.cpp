// A stand-in for varnock-web's /metrics in the Prometheus lab test, until
// the web program serves it: every half second, the records read with the
// watch's own reader, written as metrics to OUT (replaced whole).
//   record_metrics NAMES OUT STATE...
// NAMES: lines "02:1A:2B:3C:4D:5E name" (upper-case, colons).
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <thread>

#include "console/metrics/metrics_text.h"
#include "console/watch/record_file_reader.h"

namespace {

std::string FileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

int main(int argc, char** argv) {
    using namespace varnock::console;
    if (argc < 4) {
        std::cerr << "usage: record_metrics NAMES OUT STATE...\n";
        return 2;
    }
    std::map<std::string, std::string> names;  // by hardware address text
    std::istringstream lines(FileText(argv[1]));
    for (std::string address, name; lines >> address >> name;) {
        names[address] = name;
    }
    const DeviceNameOf nameOf = [&](const varnock::HardwareAddressBytes& bytes) {
        const auto found = names.find(varnock::HardwareAddressText(bytes, ":"));
        return found == names.end() ? nullptr : &found->second;
    };
    const std::string out = argv[2];
    for (;;) {
        std::vector<std::vector<SeenNeighbour>> seen(static_cast<std::size_t>(argc - 3));
        std::vector<RecordMetrics> records;
        for (int i = 3; i < argc; ++i) {
            RecordMetrics record;
            record.name = argv[i];
            std::error_code error;
            const auto written = std::filesystem::last_write_time(argv[i], error);
            auto read = ParseWatchState(FileText(argv[i]));
            if (!error && std::holds_alternative<std::vector<SeenNeighbour>>(read)) {
                auto& neighbours = seen[static_cast<std::size_t>(i - 3)];
                neighbours = std::get<std::vector<SeenNeighbour>>(std::move(read));
                record.readable = true;
                record.saved = std::chrono::time_point_cast<WallClock::duration>(
                    std::chrono::file_clock::to_sys(written));
                record.neighbours = neighbours;
            }
            records.push_back(std::move(record));
        }
        {
            std::ofstream file(out + ".new", std::ios::binary | std::ios::trunc);
            file << FormatMetrics(records, nameOf, "test");
        }
        std::filesystem::rename(out + ".new", out);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
}
