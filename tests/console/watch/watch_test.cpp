// The Watch with outputs and writers of the test's own: every output hears
// every event, one that breaks ends the watch, and every writer gets what
// changed whatever the others took.
#include "console/watch/watch.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/scripted_neighbours.h"

namespace varnock::console {
namespace {

NeighbourEntry Entry(std::uint8_t last) {
    NeighbourEntry entry;
    entry.address = IpAddress::V4(0x0002'00C0u | (std::uint32_t{last} << 24));  // 192.0.2.last
    entry.interfaceIndex = 4;
    entry.state = NeighbourEntry::State::kAnswering;
    entry.hardwareAddress = {0x02, 0x1A, 0x2B, 0x3C, 0x4D, last};
    return entry;
}

struct Heard {
    std::vector<std::string> json;
    std::optional<std::string> broken;  // what Broken says from the next flush on
    bool flushed = false;
};

class RecordingOutput final : public EventOutput {
public:
    explicit RecordingOutput(Heard& heard) : heard_(heard) {}
    void Tell(const WatchEvent&, const EventText& text) override {
        heard_.json.push_back(text.json);
    }
    void Flush() override { heard_.flushed = true; }
    std::optional<std::string> Broken() override { return heard_.broken; }

private:
    Heard& heard_;
};

struct Saved {
    std::vector<std::size_t> sizes;  // the record's size at each write
    std::uint64_t version = 0;
};

// Writes only what is new to it, as a real writer does.
class RecordingWriter final : public RecordWriter {
public:
    explicit RecordingWriter(Saved& saved) : saved_(saved) {}
    void Save(const NeighbourRecord& record, WallClock::time_point) override {
        if (record.Version() != saved_.version) {
            saved_.sizes.push_back(record.Size());
            saved_.version = record.Version();
        }
    }
    std::optional<std::string> Lost() const override { return std::nullopt; }

private:
    Saved& saved_;
};

class WatchWithOutputs : public ::testing::Test {
protected:
    std::unique_ptr<Watch> Make(std::vector<Heard*> outputs, std::vector<Saved*> writers) {
        WatchOutputs made;
        for (Heard* heard : outputs) {
            made.events.push_back(std::make_unique<RecordingOutput>(*heard));
        }
        for (Saved* saved : writers) {
            made.writers.push_back(std::make_unique<RecordingWriter>(*saved));
        }
        Watch::Settings settings;
        settings.interfaceNameOf = [](std::uint32_t) { return std::string("eth0"); };
        settings.forgetAfter = std::chrono::hours(1);
        settings.saveInterval = std::chrono::hours(1);  // only at the end
        settings.stopRequested = [] { return false; };
        system_.vendors = {};
        return std::make_unique<Watch>(
            std::move(settings), std::move(made), system_.vendors,
            std::make_unique<PeriodicSweep>(targets_, line_, 0, *engine_, system_), err_);
    }

    testing::ScriptedNeighbours network_;
    std::unique_ptr<NeighbourEngine> engine_ = network_.MakeEngine();
    CommandSystem system_;
    CommandLine line_;
    std::vector<Target> targets_;
    std::ostringstream err_;
};

TEST_F(WatchWithOutputs, EveryOutputHearsEveryEventAndEveryWriterGetsTheRecord) {
    Heard first, second;
    Saved one, other;
    auto watch = Make({&first, &second}, {&one, &other});
    watch->Start({Entry(2)});
    watch->Changed(Entry(3));
    EXPECT_EQ(first.json.size(), 2u);
    EXPECT_EQ(first.json, second.json);
    EXPECT_TRUE(first.flushed && second.flushed);
    EXPECT_FALSE(watch->StopRunning());
    EXPECT_TRUE(watch->Finish()) << err_.str();
    // The first writer's save takes nothing from the second.
    EXPECT_EQ(one.sizes, std::vector<std::size_t>{2});
    EXPECT_EQ(other.sizes, std::vector<std::size_t>{2});
}

TEST_F(WatchWithOutputs, AnOutputThatBreaksEndsTheWatchAndTheRecordIsStillWritten) {
    Heard healthy, failing;
    Saved saved;
    auto watch = Make({&healthy, &failing}, {&saved});
    watch->Start({Entry(2)});
    EXPECT_FALSE(watch->StopRunning());
    failing.broken = "the test's output is gone";
    watch->Changed(Entry(3));
    EXPECT_TRUE(watch->StopRunning());
    EXPECT_EQ(healthy.json.size(), 2u);  // told before the break was seen
    EXPECT_FALSE(watch->Finish());
    EXPECT_NE(err_.str().find("the test's output is gone; the watch ends"), std::string::npos)
        << err_.str();
    EXPECT_EQ(saved.sizes, std::vector<std::size_t>{2});
}

}  // namespace
}  // namespace varnock::console
