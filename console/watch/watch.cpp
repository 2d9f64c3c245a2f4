#include "console/watch/watch.h"

#include <algorithm>
#include <ostream>
#include <utility>

#include "console/text/address_text.h"
#include "console/text/terminal_text.h"

namespace varnock::console {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kProgramName = "varnock-cli";

}  // namespace

Watch::Watch(Settings settings, WatchOutputs outputs, VendorSources vendors,
             std::unique_ptr<PeriodicSweep> sweep, std::ostream& err)
    : settings_(std::move(settings)),
      outputs_(std::move(outputs)),
      vendors_(std::move(vendors)),
      sweep_(std::move(sweep)),
      err_(err),
      lastSave_(Clock::now()) {
    record_.Restore(std::exchange(outputs_.restored, {}));
}

void Watch::Start(const std::vector<NeighbourEntry>& table) {
    record_.Forget(WallClock::now() - settings_.forgetAfter);
    for (const NeighbourEntry& entry : table) {
        Changed(entry);
    }
    lastSave_ = Clock::now();
}

void Watch::Changed(const NeighbourEntry& entry) {
    // A stop that became certain before this change came is told before
    // it: an answer now is the address coming back.
    Tell(record_.Settle(WallClock::now()));
    Tell(record_.Apply(entry, settings_.interfaceNameOf(entry.interfaceIndex), WallClock::now()));
}

void Watch::Lost(const std::vector<NeighbourEntry>& table) {
    Tell(record_.Settle(WallClock::now()));
    auto reconciled = record_.Reconcile(table, settings_.interfaceNameOf,
                                        settings_.watchedInterface, WallClock::now());
    Tell(std::move(reconciled.events));
    std::vector<Target> again;
    for (const SeenNeighbour& vanished : reconciled.vanished) {
        again.push_back({vanished.address, {}, PlainAddress(vanished.address)});
    }
    sweep_->Recheck(std::move(again));
}

bool Watch::StopRunning() {
    return broken_.has_value() || settings_.stopRequested();
}

std::chrono::milliseconds Watch::Tick() {
    Tell(record_.Settle(WallClock::now()));
    Tell(burst_.Close(WallClock::now()));
    record_.Forget(WallClock::now() - settings_.forgetAfter);
    bool busy = false;
    for (const auto& output : outputs_.events) {
        for (const std::string& failure : output->Advance()) {
            Report(failure);
        }
        busy = busy || output->Busy();
    }
    NoteBroken();
    if (Clock::now() - lastSave_ >= settings_.saveInterval) {
        SaveAll();
        lastSave_ = Clock::now();
    }
    const auto now = Clock::now();
    const auto sweepWants = sweep_->Tick(now);
    auto wait = busy ? kBusyWait : kLongestWait;
    if (sweepWants < now + wait) {
        wait = std::chrono::ceil<std::chrono::milliseconds>(std::max(sweepWants, now) - now);
    }
    return wait;
}

bool Watch::Finish() {
    if (!broken_) {
        Tell(burst_.Close(WallClock::now(), true));
    }
    for (const auto& output : outputs_.events) {
        for (const std::string& failure : output->Finish()) {
            Report(failure);
        }
    }
    bool whole = true;
    if (broken_) {
        Report(*broken_ + "; the watch ends");
        whole = false;
    }
    SaveAll();
    for (const auto& writer : outputs_.writers) {
        if (const auto lost = writer->Lost()) {
            Report(*lost);
            whole = false;
        }
    }
    return whole;
}

void Watch::Tell(std::vector<WatchEvent> events) {
    for (const WatchEvent& event : burst_.Pass(std::move(events), WallClock::now())) {
        Vendor vendor;
        if (event.kind != WatchEvent::Kind::kMany && event.kind != WatchEvent::Kind::kBurst) {
            vendor = {vendors_.Of(event.hardwareAddress),
                      IsLocallyAdministered(event.hardwareAddress)};
        }
        const EventText text = TextOf(event, vendor);
        for (const auto& output : outputs_.events) {
            output->Tell(event, text);
        }
    }
    // The lists' own words (a damaged cache), already fit for a terminal.
    for (const std::string& problem : vendors_.TakeProblems()) {
        err_ << kProgramName << ": " << problem << '\n';
    }
    for (const auto& output : outputs_.events) {
        output->Flush();
    }
    NoteBroken();
}

void Watch::NoteBroken() {
    for (const auto& output : outputs_.events) {
        if (broken_) {
            return;
        }
        broken_ = output->Broken();
    }
}

void Watch::SaveAll() {
    for (const auto& writer : outputs_.writers) {
        writer->Save(record_, WallClock::now());
    }
}

void Watch::Report(const std::string& what) {
    err_ << kProgramName << ": " << TerminalText(what) << '\n' << std::flush;
}

}  // namespace varnock::console
