#pragma once

// IP Helper's neighbour rows and the functions of it that this program finds
// at run time, so that it still starts (and says what is missing) on a
// system without them. Include after winsock2.h, ws2ipdef.h and windows.h.

namespace varnock::windows_backend {

// MIB_IPNET_ROW2 and MIB_IPNET_TABLE2, laid out as netioapi.h lays them
// (Windows Vista and later).
struct IpNetRow2 {
    SOCKADDR_INET Address;
    NET_IFINDEX InterfaceIndex;
    NET_LUID InterfaceLuid;
    UCHAR PhysicalAddress[32];  // IF_MAX_PHYS_ADDRESS_LENGTH
    ULONG PhysicalAddressLength;
    ULONG State;  // NL_NEIGHBOR_STATE: 0 unreachable, 1 incomplete, then probe, delay, stale, ...
    UCHAR Flags;
    ULONG ReachabilityTime;
};
struct IpNetTable2 {
    ULONG NumEntries;
    IpNetRow2 Table[1];
};

using ResolveIpNetEntry2Function = DWORD(WINAPI*)(IpNetRow2*, const SOCKADDR_INET*);
using GetIpNetTable2Function = DWORD(WINAPI*)(ADDRESS_FAMILY, IpNetTable2**);
using FreeMibTableFunction = void(WINAPI*)(PVOID);

// IP Helper's function `name`, or nothing where the system lacks it.
template <typename Function>
Function FindIpHelperFunction(const char* name) {
    const HMODULE helper = GetModuleHandleA("iphlpapi.dll");
    // Cast through a plain function pointer: GetProcAddress's own type.
    return helper == nullptr ? nullptr
                             : reinterpret_cast<Function>(
                                   reinterpret_cast<void (*)()>(GetProcAddress(helper, name)));
}

}  // namespace varnock::windows_backend
