#include "lookup/windows/neighbour_table.h"

// clang-format off
#include <winsock2.h>
#include <ws2ipdef.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include <array>
#include <cstring>
#include <memory>
#include <system_error>

#include "lookup/windows/ip_helper.h"

namespace varnock::windows_backend {
namespace {

// NL_NEIGHBOR_STATE, in its order.
constexpr std::array<const char*, 7> kStateNames = {
    "unreachable", "incomplete", "probe", "delay", "stale", "reachable", "permanent"};
constexpr ULONG kUnreachable = 0;
constexpr ULONG kIncomplete = 1;
constexpr ULONG kReachable = 5;
constexpr ULONG kPermanent = 6;

NeighbourRow RowOf(const IpNetRow2& row) {
    NeighbourRow read;
    NeighbourEntry& entry = read.entry;
    entry.interfaceIndex = row.InterfaceIndex;
    if (row.Address.si_family == AF_INET6) {
        std::array<std::uint8_t, 16> bytes;
        std::memcpy(bytes.data(), &row.Address.Ipv6.sin6_addr, bytes.size());
        entry.address = IpAddress::V6(bytes);
    } else {
        entry.address = IpAddress::V4(row.Address.Ipv4.sin_addr.s_addr);
    }
    read.stateName = row.State < kStateNames.size() ? kStateNames[row.State] : "other";
    if (row.State == kUnreachable) {
        entry.state = NeighbourEntry::State::kFailed;
    } else if (row.State != kIncomplete && row.PhysicalAddressLength > 0 &&
               row.PhysicalAddressLength <= sizeof row.PhysicalAddress) {
        entry.state = NeighbourEntry::State::kAnswering;
        entry.hardwareAddress.assign(row.PhysicalAddress,
                                     row.PhysicalAddress + row.PhysicalAddressLength);
        read.confirmed = row.State == kReachable || row.State == kPermanent;
    }
    return read;
}

}  // namespace

std::optional<std::vector<NeighbourRow>> ReadNeighbourTable() {
    static const auto read = FindIpHelperFunction<GetIpNetTable2Function>("GetIpNetTable2");
    static const auto release = FindIpHelperFunction<FreeMibTableFunction>("FreeMibTable");
    if (read == nullptr || release == nullptr) {
        return std::nullopt;
    }
    IpNetTable2* table = nullptr;
    const DWORD error = read(AF_UNSPEC, &table);
    if (error == ERROR_NOT_FOUND) {  // an empty table
        return std::vector<NeighbourRow>{};
    }
    if (error != NO_ERROR) {
        throw std::system_error(static_cast<int>(error), std::system_category(), "GetIpNetTable2");
    }
    // IP Helper's memory, given back on every path.
    const std::unique_ptr<IpNetTable2, FreeMibTableFunction> owned(table, release);
    std::vector<NeighbourRow> rows;
    rows.reserve(table->NumEntries);
    for (ULONG i = 0; i < table->NumEntries; ++i) {
        NeighbourRow row = RowOf(table->Table[i]);
        if (!row.entry.address.IsMulticast()) {
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

}  // namespace varnock::windows_backend
