#include "lookup/windows/adapters.h"

// clang-format off
#include <winsock2.h>
#include <ws2ipdef.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include <algorithm>
#include <charconv>
#include <memory>
#include <system_error>

namespace varnock::windows_backend {
namespace {

constexpr ULONG kFlags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
// The list grows while it is read when an adapter appears: a few tries.
constexpr int kTries = 4;

std::string Utf8Of(const wchar_t* text) {
    if (text == nullptr || *text == L'\0') {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return {};
    }
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    utf8.pop_back();  // the terminating zero
    return utf8;
}

bool UsesArp(const IP_ADAPTER_ADDRESSES& adapter) {
    return adapter.PhysicalAddressLength == 6 && adapter.IfType != IF_TYPE_SOFTWARE_LOOPBACK &&
           adapter.IfType != IF_TYPE_TUNNEL && adapter.IfType != IF_TYPE_PPP;
}

Adapter AdapterOf(const IP_ADAPTER_ADDRESSES& listed) {
    Adapter adapter;
    adapter.ipv4Index = listed.IfIndex;
    adapter.ipv6Index = listed.Ipv6IfIndex;
    adapter.friendlyName = Utf8Of(listed.FriendlyName);
    adapter.adapterName = listed.AdapterName != nullptr ? listed.AdapterName : "";
    adapter.up = listed.OperStatus == IfOperStatusUp;
    adapter.usesArp = UsesArp(listed);
    for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = listed.FirstUnicastAddress; unicast != nullptr;
         unicast = unicast->Next) {
        const SOCKADDR* address = unicast->Address.lpSockaddr;
        if (address != nullptr && address->sa_family == AF_INET &&
            unicast->OnLinkPrefixLength <= 32) {
            const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
            adapter.ipv4.push_back({v4->sin_addr.s_addr, unicast->OnLinkPrefixLength});
        }
    }
    return adapter;
}

bool SameIgnoringAsciiCase(const std::string& a, const std::string& b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

std::vector<Adapter> ReadAdapters() {
    ULONG size = 16 * 1024;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        // ULONGLONG: the list's records need eight-byte alignment.
        auto buffer = std::make_unique<ULONGLONG[]>(size / sizeof(ULONGLONG) + 1);
        auto* first = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.get());
        const ULONG error = GetAdaptersAddresses(AF_UNSPEC, kFlags, nullptr, first, &size);
        if (error == ERROR_BUFFER_OVERFLOW) {
            continue;
        }
        if (error == ERROR_NO_DATA) {
            return {};
        }
        if (error != NO_ERROR) {
            throw std::system_error(static_cast<int>(error), std::system_category(),
                                    "GetAdaptersAddresses");
        }
        std::vector<Adapter> adapters;
        for (const IP_ADAPTER_ADDRESSES* listed = first; listed != nullptr; listed = listed->Next) {
            adapters.push_back(AdapterOf(*listed));
        }
        return adapters;
    }
    throw std::system_error(ERROR_BUFFER_OVERFLOW, std::system_category(), "GetAdaptersAddresses");
}

std::optional<Adapter> AdapterNamed(const std::vector<Adapter>& adapters, const std::string& name) {
    if (name.empty()) {
        return std::nullopt;
    }
    for (const auto& adapter : adapters) {
        if (adapter.friendlyName == name || adapter.adapterName == name) {
            return adapter;
        }
    }
    for (const auto& adapter : adapters) {
        if (SameIgnoringAsciiCase(adapter.friendlyName, name)) {
            return adapter;
        }
    }
    std::uint32_t index = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), index);
    if (error == std::errc{} && end == name.data() + name.size() && index != 0) {
        if (const Adapter* found = AdapterOfIndex(adapters, index)) {
            return *found;
        }
    }
    return std::nullopt;
}

const Adapter* AdapterOfIndex(const std::vector<Adapter>& adapters, std::uint32_t index) {
    for (const auto& adapter : adapters) {
        if (index != 0 && (adapter.ipv4Index == index || adapter.ipv6Index == index)) {
            return &adapter;
        }
    }
    return nullptr;
}

}  // namespace varnock::windows_backend
