// The metrics' text of a record, rendered again and again: its median time,
// its size and its series (bench/metrics_bench.py).
//   metrics_render RECORD NAMES RUNS
// NAMES: lines "02:1A:2B:3C:4D:5E name". Prints one JSON object.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

#include "console/metrics/metrics_text.h"
#include "console/watch/record_file_reader.h"

namespace {

std::string FileText(const char* path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

int main(int argc, char** argv) {
    using namespace varnock::console;
    if (argc != 4) {
        std::cerr << "usage: metrics_render RECORD NAMES RUNS\n";
        return 2;
    }
    auto read = ParseWatchState(FileText(argv[1]));
    if (!std::holds_alternative<std::vector<SeenNeighbour>>(read)) {
        std::cerr << "metrics_render: " << std::get<std::string>(read) << '\n';
        return 1;
    }
    const auto seen = std::get<std::vector<SeenNeighbour>>(std::move(read));
    // By the address's bytes, as varnock-web's names are kept.
    std::map<std::uint64_t, std::string> names;
    std::istringstream lines(FileText(argv[2]));
    for (std::string address, name; lines >> address >> name;) {
        std::erase(address, ':');
        names[std::stoull(address, nullptr, 16)] = name;
    }
    const DeviceNameOf nameOf = [&](const varnock::HardwareAddressBytes& bytes) {
        std::uint64_t key = 0;
        for (const std::uint8_t byte : bytes) {
            key = key << 8 | byte;
        }
        const auto found = names.find(key);
        return found == names.end() ? nullptr : &found->second;
    };
    EventTotals events;
    for (const WatchEvent::Kind kind : kEventKinds) {
        events.Add("eth0", kind, 1);
    }
    const std::vector<RecordMetrics> records{{argv[1], true, WallClock::now(), seen, &events}};

    const int runs = std::max(1, std::atoi(argv[3]));
    std::vector<double> milliseconds;
    std::string text;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        text = FormatMetrics(records, nameOf, "bench");
        milliseconds.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    std::size_t series = 0;
    std::istringstream output(text);
    for (std::string line; std::getline(output, line);) {
        series += !line.empty() && line[0] != '#';
    }
    std::cout << "{\"render_ms\": " << milliseconds[milliseconds.size() / 2]
              << ", \"bytes\": " << text.size() << ", \"series\": " << series
              << ", \"neighbours\": " << seen.size() << "}\n";
}
