// A stand-in for IP Helper (iphlpapi.dll) that the tests put beside a
// program under wine (WINEDLLOVERRIDES=iphlpapi=n): it answers every IP
// Helper function the programs import or look up from a script, and writes
// each call to a record, so that the real programs' success paths run.
//
// VARNOCK_IP_HELPER_SCRIPT names the script, read at the first call; one
// statement a line, fields apart by spaces, # to the line's end a comment:
//
//   arp ADDRESS|* BYTES|- [length=N] [error=CODE] [delay=MS]
//       SendARP's answer for ADDRESS (* : every address not listed; without
//       it, 67): the bytes (00:1a:..., at most 8), the length it reports
//       (the bytes' count unless given), or a failure code.
//   adapter INDEX NAME up|down ethernet|loopback BYTES ADDRESS/PREFIX...
//       One adapter for GetAdaptersAddresses; NAME with "_" for spaces.
//   table [calls=N]
//       Starts the next neighbour table: GetIpNetTable2 answers each table
//       for N readings (1 unless given) and the last one from then on.
//   neighbour INDEX ADDRESS BYTES|- STATE
//       A row of the table begun last; STATE is NL_NEIGHBOR_STATE's number.
//
// VARNOCK_IP_HELPER_RECORD, when set, names a file that gets one line a
// call: "SendARP DEST SOURCE LENGTH", "GetAdaptersAddresses",
// "GetBestInterface DEST", "GetIpNetTable2", "ResolveIpNetEntry2 ADDRESS".

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <netioapi.h>
// clang-format on

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Reply {
    std::vector<unsigned char> bytes;
    ULONG length = 0;
    DWORD error = NO_ERROR;
    DWORD delayMs = 0;
};

struct ScriptedAdapter {
    ULONG index = 0;
    std::wstring name;
    bool up = true;
    IFTYPE type = IF_TYPE_ETHERNET_CSMACD;
    std::vector<unsigned char> hardware;
    std::vector<std::pair<ULONG, UINT8>> ipv4;  // network order, prefix
};

struct Table {
    unsigned calls = 1;
    std::vector<MIB_IPNET_ROW2> rows;
};

struct Script {
    std::map<ULONG, Reply> replies;
    Reply otherwise{{}, 0, 67, 0};  // ERROR_BAD_NET_NAME: no answer
    std::vector<ScriptedAdapter> adapters;
    std::vector<Table> tables;
    std::size_t tableReadings = 0;
};

std::mutex guard;

std::vector<unsigned char> BytesOf(const std::string& text) {
    std::vector<unsigned char> bytes;
    if (text == "-") {
        return bytes;
    }
    std::istringstream parts(text);
    for (std::string part; std::getline(parts, part, ':');) {
        bytes.push_back(static_cast<unsigned char>(std::strtoul(part.c_str(), nullptr, 16)));
    }
    return bytes;
}

ULONG AddressOf(const std::string& text) {
    in_addr address{};
    inet_pton(AF_INET, text.c_str(), &address);
    return address.s_addr;
}

std::string TextOf(ULONG address) {
    char text[INET_ADDRSTRLEN] = "";
    in_addr value{};
    value.s_addr = address;
    inet_ntop(AF_INET, &value, text, sizeof text);
    return text;
}

// "key=value" of the remaining fields, or `otherwise`.
unsigned long Option(const std::vector<std::string>& fields, const char* key,
                     unsigned long otherwise) {
    const std::string prefix = std::string(key) + "=";
    for (const auto& field : fields) {
        if (field.rfind(prefix, 0) == 0) {
            return std::strtoul(field.c_str() + prefix.size(), nullptr, 10);
        }
    }
    return otherwise;
}

Script Read() {
    Script script;
    const char* path = std::getenv("VARNOCK_IP_HELPER_SCRIPT");
    std::ifstream in(path != nullptr ? path : "");
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::vector<std::string> f;
        for (std::string word; words >> word;) {
            f.push_back(word);
        }
        if (f.size() >= 3 && f[0] == "arp") {
            Reply reply;
            reply.bytes = BytesOf(f[2]);
            reply.length = Option(f, "length", static_cast<unsigned long>(reply.bytes.size()));
            reply.error = Option(f, "error", NO_ERROR);
            reply.delayMs = Option(f, "delay", 0);
            (f[1] == "*" ? script.otherwise : script.replies[AddressOf(f[1])]) = reply;
        } else if (f.size() >= 5 && f[0] == "adapter") {
            ScriptedAdapter adapter;
            adapter.index = std::strtoul(f[1].c_str(), nullptr, 10);
            for (char c : f[2]) {
                adapter.name += static_cast<wchar_t>(c == '_' ? ' ' : c);
            }
            adapter.up = f[3] == "up";
            adapter.type = f[4] == "loopback" ? IF_TYPE_SOFTWARE_LOOPBACK : IF_TYPE_ETHERNET_CSMACD;
            adapter.hardware = BytesOf(f.size() > 5 ? f[5] : "-");
            for (std::size_t i = 6; i < f.size(); ++i) {
                const auto slash = f[i].find('/');
                adapter.ipv4.emplace_back(AddressOf(f[i].substr(0, slash)),
                                          std::atoi(f[i].c_str() + slash + 1));
            }
            script.adapters.push_back(adapter);
        } else if (!f.empty() && f[0] == "table") {
            script.tables.push_back({static_cast<unsigned>(Option(f, "calls", 1)), {}});
        } else if (f.size() >= 5 && f[0] == "neighbour" && !script.tables.empty()) {
            MIB_IPNET_ROW2 row{};
            row.InterfaceIndex = std::strtoul(f[1].c_str(), nullptr, 10);
            row.Address.Ipv4.sin_family = AF_INET;
            row.Address.Ipv4.sin_addr.s_addr = AddressOf(f[2]);
            const auto bytes = BytesOf(f[3]);
            std::memcpy(row.PhysicalAddress, bytes.data(), bytes.size());
            row.PhysicalAddressLength = static_cast<ULONG>(bytes.size());
            row.State = static_cast<NL_NEIGHBOR_STATE>(std::atoi(f[4].c_str()));
            script.tables.back().rows.push_back(row);
        }
    }
    return script;
}

Script& TheScript() {
    static Script script = Read();
    return script;
}

void Record(const std::string& line) {
    if (const char* path = std::getenv("VARNOCK_IP_HELPER_RECORD"); path != nullptr) {
        std::ofstream(path, std::ios::app | std::ios::binary) << line << '\n';
    }
}

}  // namespace

extern "C" {

DWORD WINAPI SendARP(IPAddr destination, IPAddr source, PVOID answer, PULONG length) {
    Reply reply;
    {
        std::lock_guard lock(guard);
        Record("SendARP " + TextOf(destination) + " " + TextOf(source) + " " +
               std::to_string(length != nullptr ? *length : 0));
        const auto& replies = TheScript().replies;
        const auto found = replies.find(destination);
        reply = found != replies.end() ? found->second : TheScript().otherwise;
    }
    Sleep(reply.delayMs);
    if (answer == nullptr || length == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (reply.error != NO_ERROR) {
        return reply.error;
    }
    // The caller's buffer holds what the caller announced (SendARP's own
    // contract): never more is written.
    std::memcpy(answer, reply.bytes.data(), std::min<std::size_t>(reply.bytes.size(), *length));
    *length = reply.length;
    return NO_ERROR;
}

ULONG WINAPI GetAdaptersAddresses(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES first, PULONG size) {
    std::lock_guard lock(guard);
    Record("GetAdaptersAddresses");
    const auto& adapters = TheScript().adapters;
    const auto rounded = [](std::size_t n) { return (n + 7) & ~std::size_t{7}; };
    std::size_t needed = 0;
    for (const auto& adapter : adapters) {
        needed += rounded(sizeof(IP_ADAPTER_ADDRESSES)) +
                  rounded((adapter.name.size() + 1) * sizeof(wchar_t)) + rounded(8) +
                  adapter.ipv4.size() *
                      (rounded(sizeof(IP_ADAPTER_UNICAST_ADDRESS)) + rounded(sizeof(sockaddr_in)));
    }
    if (adapters.empty()) {
        return ERROR_NO_DATA;
    }
    if (size == nullptr || first == nullptr || *size < needed) {
        if (size != nullptr) {
            *size = static_cast<ULONG>(needed);
        }
        return ERROR_BUFFER_OVERFLOW;
    }
    std::memset(first, 0, needed);
    auto* at = reinterpret_cast<unsigned char*>(first);
    const auto take = [&](std::size_t n) {
        unsigned char* place = at;
        at += rounded(n);
        return place;
    };
    IP_ADAPTER_ADDRESSES* previous = nullptr;
    for (const auto& scripted : adapters) {
        auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(take(sizeof(IP_ADAPTER_ADDRESSES)));
        adapter->Length = sizeof(IP_ADAPTER_ADDRESSES);
        adapter->IfIndex = scripted.index;
        adapter->Ipv6IfIndex = scripted.index;
        adapter->FriendlyName = reinterpret_cast<PWCHAR>(take((scripted.name.size() + 1) * 2));
        std::memcpy(adapter->FriendlyName, scripted.name.c_str(), (scripted.name.size() + 1) * 2);
        adapter->AdapterName = reinterpret_cast<PCHAR>(take(8));
        std::snprintf(adapter->AdapterName, 8, "{%lu}", scripted.index);
        adapter->OperStatus = scripted.up ? IfOperStatusUp : IfOperStatusDown;
        adapter->IfType = scripted.type;
        adapter->PhysicalAddressLength = static_cast<DWORD>(scripted.hardware.size());
        std::memcpy(adapter->PhysicalAddress, scripted.hardware.data(), scripted.hardware.size());
        IP_ADAPTER_UNICAST_ADDRESS* last = nullptr;
        for (const auto& [address, prefix] : scripted.ipv4) {
            auto* unicast = reinterpret_cast<IP_ADAPTER_UNICAST_ADDRESS*>(
                take(sizeof(IP_ADAPTER_UNICAST_ADDRESS)));
            auto* socket = reinterpret_cast<sockaddr_in*>(take(sizeof(sockaddr_in)));
            socket->sin_family = AF_INET;
            socket->sin_addr.s_addr = address;
            unicast->Length = sizeof(IP_ADAPTER_UNICAST_ADDRESS);
            unicast->Address.lpSockaddr = reinterpret_cast<LPSOCKADDR>(socket);
            unicast->Address.iSockaddrLength = sizeof(sockaddr_in);
            unicast->OnLinkPrefixLength = prefix;
            (last == nullptr ? adapter->FirstUnicastAddress : last->Next) = unicast;
            last = unicast;
        }
        (previous == nullptr ? first : previous->Next) = adapter;
        previous = adapter;
    }
    return NO_ERROR;
}

// The adapter whose network holds the address.
DWORD WINAPI GetBestInterface(IPAddr destination, PDWORD index) {
    std::lock_guard lock(guard);
    Record("GetBestInterface " + TextOf(destination));
    for (const auto& adapter : TheScript().adapters) {
        for (const auto& [address, prefix] : adapter.ipv4) {
            const ULONG mask = prefix == 0 ? 0 : htonl(~0UL << (32 - prefix));
            if (((address ^ destination) & mask) == 0) {
                *index = adapter.index;
                return NO_ERROR;
            }
        }
    }
    return ERROR_HOST_UNREACHABLE;
}

NETIO_STATUS WINAPI GetIpNetTable2(ADDRESS_FAMILY, PMIB_IPNET_TABLE2* table) {
    std::lock_guard lock(guard);
    Record("GetIpNetTable2");
    Script& script = TheScript();
    // The table this reading falls in: each answers its count of readings.
    const Table* current = nullptr;
    std::size_t reading = script.tableReadings++;
    for (const auto& scripted : script.tables) {
        current = &scripted;
        if (reading < scripted.calls) {
            break;
        }
        reading -= scripted.calls;
    }
    const std::size_t rows = current != nullptr ? current->rows.size() : 0;
    auto* made = static_cast<PMIB_IPNET_TABLE2>(
        std::calloc(1, sizeof(MIB_IPNET_TABLE2) + rows * sizeof(MIB_IPNET_ROW2)));
    if (made == nullptr) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    made->NumEntries = static_cast<ULONG>(rows);
    for (std::size_t i = 0; i < rows; ++i) {
        made->Table[i] = current->rows[i];
    }
    *table = made;
    return NO_ERROR;
}

VOID WINAPI FreeMibTable(PVOID memory) {
    std::free(memory);
}

NETIO_STATUS WINAPI ResolveIpNetEntry2(PMIB_IPNET_ROW2 row, CONST SOCKADDR_INET*) {
    std::lock_guard lock(guard);
    char text[INET6_ADDRSTRLEN] = "";
    inet_ntop(AF_INET6, &row->Address.Ipv6.sin6_addr, text, sizeof text);
    Record(std::string("ResolveIpNetEntry2 ") + text);
    return ERROR_NOT_SUPPORTED;
}

}  // extern "C"
