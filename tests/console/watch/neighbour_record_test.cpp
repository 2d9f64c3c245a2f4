// What the watch tells of the neighbour table's changes, and the record it
// keeps across runs.
#include "console/watch/neighbour_record.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "console/watch/record_file.h"
#include "console/watch/record_file_reader.h"

namespace varnock::console {
namespace {

const HardwareAddressBytes kHost{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
const HardwareAddressBytes kOther{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x99};

NeighbourEntry Entry(std::uint8_t last, HardwareAddressBytes bytes,
                     NeighbourEntry::State state = NeighbourEntry::State::kAnswering) {
    NeighbourEntry entry;
    entry.address = IpAddress::V4(0x0002'00C0u | (std::uint32_t{last} << 24));  // 192.0.2.last
    entry.hardwareAddress = std::move(bytes);
    entry.state = state;
    return entry;
}

std::vector<WatchEvent::Kind> Kinds(const std::vector<WatchEvent>& events) {
    std::vector<WatchEvent::Kind> kinds;
    for (const auto& event : events) {
        kinds.push_back(event.kind);
    }
    return kinds;
}

using Kind = WatchEvent::Kind;

TEST(NeighbourRecord, TellsWhatChangedAndNothingRoutine) {
    NeighbourRecord record;
    const auto now = WallClock::now();
    EXPECT_EQ(Kinds(record.Apply(Entry(2, kHost), "eth0", now)), std::vector{Kind::kNew});
    // The same address again, or an entry being resolved: nothing to tell.
    EXPECT_TRUE(record.Apply(Entry(2, kHost), "eth0", now).empty());
    EXPECT_TRUE(record.Apply(Entry(2, {}, NeighbourEntry::State::kOther), "eth0", now).empty());
    const auto changed = record.Apply(Entry(2, kOther), "eth0", now);
    ASSERT_EQ(Kinds(changed), std::vector{Kind::kChanged});
    EXPECT_EQ(changed[0].previous, kHost);
    EXPECT_EQ(changed[0].hardwareAddress, kOther);
    // FAILED is a stop only when no removal of the entry follows: an
    // administrator's flush marks entries FAILED and removes them at once.
    const auto failed = Entry(2, {}, NeighbourEntry::State::kFailed);
    const auto removed = Entry(2, {}, NeighbourEntry::State::kOther);
    const auto later = now + NeighbourRecord::kRemovalGrace;
    EXPECT_TRUE(record.Apply(failed, "eth0", now).empty());
    EXPECT_TRUE(record.Apply(removed, "eth0", now).empty());
    EXPECT_TRUE(record.Settle(later).empty());
    EXPECT_TRUE(record.Apply(failed, "eth0", now).empty());
    EXPECT_TRUE(record.Settle(now).empty());
    EXPECT_EQ(Kinds(record.Settle(later)), std::vector{Kind::kStopped});
    EXPECT_EQ(Kinds(record.Apply(Entry(2, kOther), "eth0", later)), std::vector{Kind::kBack});
    record.Apply(failed, "eth0", later);
    record.Settle(later + NeighbourRecord::kRemovalGrace);
    EXPECT_TRUE(record.Apply(failed, "eth0", later).empty());
    EXPECT_TRUE(record.Settle(later + NeighbourRecord::kRemovalGrace).empty());
    // The same address on another link is another neighbour.
    EXPECT_EQ(Kinds(record.Apply(Entry(2, kHost), "eth1", now)), std::vector{Kind::kNew});
}

TEST(NeighbourRecord, OneHardwareAddressForSeveralIpv4AddressesIsToldWhenItStarts) {
    NeighbourRecord record;
    const auto now = WallClock::now();
    record.Apply(Entry(254, kHost), "eth0", now);
    const auto claimed = record.Apply(Entry(2, kHost), "eth0", now);
    ASSERT_EQ(Kinds(claimed), (std::vector{Kind::kNew, Kind::kMany}));
    EXPECT_EQ(claimed[1].addresses.size(), 2u);
    EXPECT_EQ(claimed[1].lastSeen, now);
    EXPECT_EQ(Kinds(record.Apply(Entry(3, kHost), "eth0", now)), std::vector{Kind::kNew});
    // A host's IPv6 addresses share its hardware address as a matter of course.
    NeighbourEntry v6;
    v6.address = IpAddress::V6({0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7});
    v6.hardwareAddress = kOther;
    v6.state = NeighbourEntry::State::kAnswering;
    record.Apply(Entry(7, kOther), "eth0", now);
    EXPECT_EQ(Kinds(record.Apply(v6, "eth0", now)), std::vector{Kind::kNew});
}

TEST(WatchState, TheRecordReadsBackAndNothingElseIsTaken) {
    NeighbourRecord record;
    const auto now = std::chrono::floor<std::chrono::seconds>(WallClock::now());
    record.Apply(Entry(2, kHost), "eth0", now);
    record.Apply(Entry(3, {}, NeighbourEntry::State::kOther), "eth0", now);
    const std::string text = FormatWatchState(record.Seen());
    const auto read = ParseWatchState(text);
    ASSERT_TRUE(std::holds_alternative<std::vector<SeenNeighbour>>(read));
    const auto& seen = std::get<std::vector<SeenNeighbour>>(read);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].hardwareAddress, kHost);
    EXPECT_EQ(seen[0].firstSeen, now);
    EXPECT_EQ(FormatWatchState(seen), text);
    for (const char* broken : {"", "[]", "{\"version\": 2, \"neighbours\": []}",
                               "{\"version\": 1, \"neighbours\": [{}]}",
                               "{\"version\": 1, \"neighbours\": []} trailing"}) {
        EXPECT_TRUE(std::holds_alternative<std::string>(ParseWatchState(broken))) << broken;
    }
}

TEST(NeighbourRecord, ForgetsWhatWasNotSeenAndKeepsToItsCap) {
    NeighbourRecord record;
    const auto start = WallClock::now();
    record.Apply(Entry(2, kHost), "eth0", start);
    record.Apply(Entry(3, kOther), "eth0", start + std::chrono::hours(1));
    const auto before = record.Version();
    EXPECT_EQ(record.Forget(start + std::chrono::minutes(1)), 1u);
    EXPECT_NE(record.Version(), before);
    ASSERT_EQ(record.Seen().size(), 1u);
    EXPECT_EQ(record.Seen()[0].hardwareAddress, kOther);
    // Full: the one seen least lately makes room.
    for (std::uint32_t i = 0; record.Size() < NeighbourRecord::kMostNeighbours; ++i) {
        NeighbourEntry entry = Entry(0, {0x02, 0, 0, 0, 0, 1});
        entry.address = IpAddress::V4(0x0000'000A | (i << 8));
        record.Apply(entry, "eth1", start + std::chrono::hours(2));
    }
    record.Apply(Entry(4, kHost), "eth0", start + std::chrono::hours(3));
    EXPECT_EQ(record.Size(), NeighbourRecord::kMostNeighbours);
    std::vector<IpAddress> onEth0;
    for (const SeenNeighbour& seen : record.Seen()) {
        if (seen.interfaceName == "eth0") {
            onEth0.push_back(seen.address);
        }
    }
    EXPECT_EQ(onEth0, std::vector{Entry(4, kHost).address});  // .3 went, .4 came
}

// Restored from a file, a whole record can share one second: one new
// neighbour makes room by forgetting exactly one of them.
TEST(NeighbourRecord, MakesRoomForOneByForgettingOneOfTiedTimes) {
    const auto second = std::chrono::floor<std::chrono::seconds>(WallClock::now());
    std::vector<SeenNeighbour> full;
    for (std::uint32_t i = 0; i < NeighbourRecord::kMostNeighbours; ++i) {
        // 10.(i % 256).(i / 256).0, on eth2 and eth1 by turns.
        full.push_back({IpAddress::V4(0x0000'000Au | (i << 8)), i % 2 == 0 ? "eth2" : "eth1", kHost,
                        second, second, true});
    }
    NeighbourRecord record;
    record.Restore(full);
    auto expected = record.Seen();
    // The first by interface, then address: eth1's 10.1.0.0 (i = 1).
    const auto victim = std::find_if(expected.begin(), expected.end(), [](const auto& seen) {
        return seen.interfaceName == "eth1" && seen.address == IpAddress::V4(0x0000'010Au);
    });
    ASSERT_NE(victim, expected.end());
    expected.erase(victim);

    const auto events = record.Apply(Entry(9, kOther), "eth0", second + std::chrono::seconds(1));
    EXPECT_EQ(Kinds(events), std::vector{Kind::kNew});
    expected.insert(expected.begin(), record.Seen().front());  // eth0 sorts first
    const auto kept = record.Seen();
    ASSERT_EQ(kept.size(), expected.size());
    for (std::size_t i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(kept[i].interfaceName, expected[i].interfaceName) << i;
        EXPECT_EQ(kept[i].address, expected[i].address) << i;
    }
    EXPECT_EQ(kept.front().address, Entry(9, kOther).address);
}

TEST(WatchState, InterfaceNamesComeBackByteForByte) {
    NeighbourRecord record;
    const auto now = std::chrono::floor<std::chrono::seconds>(WallClock::now());
    // Interface names are the kernel's bytes: any of them can come back,
    // UTF-8 or not (a surrogate's own bytes, a lone continuation byte).
    for (const char* name : {"new\nline", "tab\tcr\r", "\x01", "bad\xff", "quote\"\\",
                             "M\xC3\xBCller", "\xED\xB2\x80", "\x80x"}) {
        record.Apply(Entry(2, kHost), name, now);
    }
    const std::string text = FormatWatchState(record.Seen());
    auto read = ParseWatchState(text);
    ASSERT_TRUE(std::holds_alternative<std::vector<SeenNeighbour>>(read)) << std::get<1>(read);
    const auto& restored = std::get<0>(read);
    ASSERT_EQ(restored.size(), record.Size());
    for (std::size_t i = 0; i < restored.size(); ++i) {
        EXPECT_EQ(restored[i].interfaceName, record.Seen()[i].interfaceName);
        EXPECT_EQ(restored[i].address, record.Seen()[i].address);
        EXPECT_EQ(restored[i].hardwareAddress, record.Seen()[i].hardwareAddress);
        EXPECT_EQ(restored[i].lastSeen, record.Seen()[i].lastSeen);
    }
    // After a restart their neighbours are no news.
    NeighbourRecord again;
    again.Restore(restored);
    EXPECT_TRUE(again.Apply(Entry(2, kHost), "bad\xff", now + std::chrono::hours(1)).empty());
    // A name that is UTF-8 is written as it is, as before.
    EXPECT_NE(text.find("\"M\xC3\xBCller\""), std::string::npos);
}

TEST(WatchState, OnlyTheLowSurrogatesOfBytesAreTaken) {
    const auto entry = [](const std::string& name) {
        return "{\"version\": 1, \"neighbours\": [{\"address\": \"192.0.2.2\", \"interface\": \"" +
               name +
               "\", \"hardware_address\": \"00:1A:2B:3C:4D:5E\", \"first_seen\": "
               "\"2026-12-07T14:00:00Z\", \"last_seen\": \"2026-12-07T14:00:00Z\", \"answering\": "
               "true}]}";
    };
    const auto read = ParseWatchState(entry("a\\udcffb"));
    ASSERT_TRUE(std::holds_alternative<std::vector<SeenNeighbour>>(read)) << std::get<1>(read);
    EXPECT_EQ(std::get<0>(read).at(0).interfaceName,
              "a\xff"
              "b");
    // Below U+DC80 would be an ASCII byte, which is never escaped so.
    for (const char* lone : {"\\udc7f", "\\udd00", "\\udfff"}) {
        const auto wrong = ParseWatchState(entry(lone));
        ASSERT_TRUE(std::holds_alternative<std::string>(wrong)) << lone;
        EXPECT_NE(std::get<std::string>(wrong).find("a lone low surrogate"), std::string::npos);
    }
}

TEST(WatchState, DamagedTextIsToldWhereAndWhy) {
    const std::pair<const char*, const char*> cases[] = {
        {"{\"version\": 1, \"neighbours\": [\"\\u00zz\"]}",
         "column 32: a unicode escape needs four"},
        {"{\"version\": 1,\n\"neighbours\": [\"\\ud800\"]}", "line 2, column 17: a high"},
        {"{\"version\": 1, \"neighbours\": [\"\\q\"]}", "an unknown escape"},
        {"{\"version\": 99999999999999999999}", "a number too large"},
        {"{\"version\": 1, \"neighbours\": [1.5]}", "not a value this file holds"},
        {"{\"version\": 1, \"neighbours\": [", "ends where a value should be"},
        {"\"unclosed", "without its closing quote"},
    };
    for (const auto& [text, reason] : cases) {
        const auto read = ParseWatchState(text);
        ASSERT_TRUE(std::holds_alternative<std::string>(read)) << text;
        EXPECT_NE(std::get<std::string>(read).find(reason), std::string::npos)
            << text << " gave " << std::get<std::string>(read);
    }
}

}  // namespace
}  // namespace varnock::console
