#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace varnock::web {

inline constexpr int kExitServing = 1;  // cannot listen or serve
inline constexpr int kExitUsage = 2;    // the command line or the configuration is at fault
inline constexpr const char* kDefaultPort = "8841";

// A command line that cannot be carried out as written; exit kExitUsage.
class WebUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct WebCommandLine {
    std::vector<std::filesystem::path> stateFiles;
    std::optional<std::filesystem::path> stateDirectory;
    std::vector<std::filesystem::path> logFiles;
    std::optional<std::filesystem::path> namesFile;
    std::optional<std::filesystem::path> vendorFile;
    std::vector<std::string> listen;  // as given; empty: the loopback defaults
    std::optional<std::filesystem::path> webConfig;
    bool help = false;
    bool version = false;
};

// Throws WebUsageError naming the argument at fault.
WebCommandLine ParseWebCommandLine(std::span<const std::string_view> arguments);

// The addresses listened on when --listen is not given.
std::vector<std::string> DefaultListenAddresses();

std::string WebHelpText();

}  // namespace varnock::web
