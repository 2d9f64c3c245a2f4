// The real lookup of a live host in the lab, with the neighbour table cold
// (flushed before every iteration) and warm, against one raw ARP exchange
// on the same link. Run by bench/run.sh inside the lab, as root there.

#include <arpa/inet.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "bench/raw_arp.h"
#include "lookup/arp_request.h"
#include "lookup/mac_query.h"

namespace {

std::string LabValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        throw std::runtime_error(std::string("run inside the lab: ") + name + " is not set");
    }
    return value;
}

void Lookup(benchmark::State& state, bool cold) {
    auto request = varnock::MakeSystemArpRequest();
    const std::string host = LabValue("VARNOCK_LAB_LIVE_HOST");
    varnock::bench::NeighbourEraser eraser(LabValue("VARNOCK_LAB_INTERFACE"));
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            eraser.Erase(inet_addr(host.c_str()));
            state.ResumeTiming();
        }
        std::string text;
        if (varnock::QueryMacAddress(host, text, ":", *request) != varnock::kTrue) {
            state.SkipWithError("the live host did not answer");
            break;
        }
        benchmark::DoNotOptimize(text);
    }
}

void BM_LookupColdTable(benchmark::State& state) {
    Lookup(state, true);
}
void BM_LookupWarmTable(benchmark::State& state) {
    Lookup(state, false);
}

void BM_RawArpFloor(benchmark::State& state) {
    varnock::bench::RawArp raw(LabValue("VARNOCK_LAB_INTERFACE"),
                               inet_addr(LabValue("VARNOCK_LAB_CLIENT").c_str()));
    const auto host = inet_addr(LabValue("VARNOCK_LAB_LIVE_HOST").c_str());
    for (auto _ : state) {
        if (!raw.Resolve(host, 1000)) {
            state.SkipWithError("no ARP reply");
            break;
        }
    }
}

}  // namespace

BENCHMARK(BM_RawArpFloor)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_LookupColdTable)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_LookupWarmTable)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

BENCHMARK_MAIN();
