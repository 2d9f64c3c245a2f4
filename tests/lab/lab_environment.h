#pragma once

// What tests/lab/run-in-lab.sh tells the command it runs, and what every lab
// test reads of the client's side of the network.

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace varnock::lab {

// A VARNOCK_LAB_* value; empty outside the lab.
inline std::string Value(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

inline bool Inside() { return Value("VARNOCK_LAB") == "1"; }

// A value that lists several words, such as VARNOCK_LAB_MORE_HOSTS.
inline std::vector<std::string> List(const char* name) {
    std::vector<std::string> words;
    std::istringstream text(Value(name));
    for (std::string word; text >> word;) {
        words.push_back(word);
    }
    return words;
}

// How long the client's kernel tries to resolve an absent host.
inline std::chrono::milliseconds GiveUpTime() {
    return std::chrono::milliseconds{std::atol(Value("VARNOCK_LAB_GIVE_UP_MS").c_str())};
}

// Datagrams sent from the client's namespace, IPv4 and IPv6. A lookup makes
// the kernel ask for a neighbour only by sending one, and nothing else on the
// client sends any, so this counts what the program under test could have
// caused, whatever the kernel's own probes or the other hosts do on the link.
inline long SentDatagrams() {
    long sent = 0;
    std::ifstream ipv4("/proc/net/snmp");
    std::vector<std::string> names;
    for (std::string line; std::getline(ipv4, line);) {
        if (line.rfind("Udp: ", 0) != 0) {
            continue;
        }
        std::istringstream words(line.substr(5));
        if (names.empty()) {  // the first Udp line names the columns
            for (std::string name; words >> name;) {
                names.push_back(name);
            }
            continue;
        }
        for (std::size_t column = 0; column < names.size() && words; ++column) {
            long value = 0;
            words >> value;
            if (names[column] == "OutDatagrams") {
                sent += value;
            }
        }
    }
    std::ifstream ipv6("/proc/net/snmp6");
    for (std::string name; ipv6 >> name;) {
        long value = 0;
        ipv6 >> value;
        if (name == "Udp6OutDatagrams") {
            sent += value;
        }
    }
    return sent;
}

}  // namespace varnock::lab
