// The Windows side of lookup/neighbour_feed.h: Windows tells no changes of
// its neighbour table to an ordinary program, so the table is read once a
// second (GetIpNetTable2, found at run time) and compared with the reading
// before.

// clang-format off
#include <winsock2.h>
#include <ws2ipdef.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include "lookup/neighbour_feed.h"

#include <chrono>
#include <cstring>
#include <system_error>
#include <thread>

#include "lookup/neighbour_engine.h"
#include "lookup/neighbour_snapshot.h"
#include "lookup/windows/ip_helper.h"

namespace varnock {
namespace {

using windows_backend::FreeMibTableFunction;
using windows_backend::GetIpNetTable2Function;
using windows_backend::IpNetRow2;
using windows_backend::IpNetTable2;

// NL_NEIGHBOR_STATE.
constexpr ULONG kUnreachable = 0;
constexpr ULONG kIncomplete = 1;

constexpr std::chrono::seconds kPollInterval{1};

class PolledNeighbourFeed final : public NeighbourFeed {
public:
    PolledNeighbourFeed(GetIpNetTable2Function read, FreeMibTableFunction release,
                        std::uint32_t interfaceIndex)
        : read_(read), release_(release), interfaceIndex_(interfaceIndex) {
        last_ = Table();
    }

    std::vector<NeighbourEntry> Table() override {
        IpNetTable2* table = nullptr;
        if (const DWORD error = read_(AF_UNSPEC, &table); error != NO_ERROR) {
            throw std::system_error(static_cast<int>(error), std::system_category(),
                                    "GetIpNetTable2");
        }
        std::vector<NeighbourEntry> entries;
        for (ULONG i = 0; i < table->NumEntries; ++i) {
            const IpNetRow2& row = table->Table[i];
            if (interfaceIndex_ != 0 && row.InterfaceIndex != interfaceIndex_) {
                continue;
            }
            NeighbourEntry entry;
            entry.interfaceIndex = row.InterfaceIndex;
            if (row.Address.si_family == AF_INET6) {
                std::array<std::uint8_t, 16> bytes;
                std::memcpy(bytes.data(), &row.Address.Ipv6.sin6_addr, bytes.size());
                entry.address = IpAddress::V6(bytes);
            } else {
                entry.address = IpAddress::V4(row.Address.Ipv4.sin_addr.s_addr);
            }
            if (entry.address.IsMulticast()) {
                continue;
            }
            if (row.State == kUnreachable) {
                entry.state = NeighbourEntry::State::kFailed;
            } else if (row.State != kIncomplete && row.PhysicalAddressLength > 0 &&
                       row.PhysicalAddressLength <= sizeof row.PhysicalAddress) {
                entry.state = NeighbourEntry::State::kAnswering;
                entry.hardwareAddress.assign(row.PhysicalAddress,
                                             row.PhysicalAddress + row.PhysicalAddressLength);
            }
            entries.push_back(std::move(entry));
        }
        release_(table);
        return entries;
    }

    NeighbourChanges Next(std::chrono::milliseconds wait) override {
        const auto due = lastRead_ + kPollInterval;
        const auto now = std::chrono::steady_clock::now();
        if (now < due) {
            std::this_thread::sleep_for(
                std::min<std::chrono::steady_clock::duration>(due - now, wait));
            if (std::chrono::steady_clock::now() < due) {
                return {};
            }
        }
        lastRead_ = std::chrono::steady_clock::now();
        auto current = Table();
        NeighbourChanges changes{ChangesBetween(last_, current), false};
        last_ = std::move(current);
        return changes;
    }

private:
    GetIpNetTable2Function read_;
    FreeMibTableFunction release_;
    std::uint32_t interfaceIndex_;
    std::vector<NeighbourEntry> last_;
    std::chrono::steady_clock::time_point lastRead_ = std::chrono::steady_clock::now();
};

}  // namespace

std::unique_ptr<NeighbourFeed> MakeSystemNeighbourFeed(NeighbourEngine& engine,
                                                       std::uint32_t interfaceIndex) {
    const auto read =
        windows_backend::FindIpHelperFunction<GetIpNetTable2Function>("GetIpNetTable2");
    const auto release =
        windows_backend::FindIpHelperFunction<FreeMibTableFunction>("FreeMibTable");
    if (read == nullptr || release == nullptr) {
        return nullptr;
    }
    // IP Helper has no notifications: the table is read every so often,
    // and the engine's lookups run in between.
    return RunWhileWaiting(engine,
                           std::make_unique<PolledNeighbourFeed>(read, release, interfaceIndex));
}

}  // namespace varnock
