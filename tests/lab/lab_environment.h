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

// Packets the client's interface has sent, ARP requests included.
inline long SentPackets() {
    std::ifstream counter("/sys/class/net/" + Value("VARNOCK_LAB_INTERFACE") +
                          "/statistics/tx_packets");
    long packets = -1;
    counter >> packets;
    return packets;
}

}  // namespace varnock::lab
