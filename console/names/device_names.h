#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lookup/hardware_address_text.h"

namespace varnock::console {

// Names for known devices, as /etc/ethers keeps them: per line a hardware
// address, white space, a name, and (our addition) an optional note after a
// '#'. Blank lines and lines that start with '#' are skipped:
//   02:1a:2b:3c:4d:5e  printer   # second floor, by the stairs
//   2-1a-2b-3c-4d-5f   laptop
// A name or note may hold any bytes but white space (a note: any but a line
// end): whoever shows one escapes it there.

// The system's names file: read first, when it exists, by the watch's
// metrics and by varnock-web.
inline constexpr const char* kSystemNamesFile = "/etc/ethers";

// Longer names and notes are refused with a problem, not cut: a cut name
// could name another device.
inline constexpr std::size_t kLongestDeviceName = 64;
inline constexpr std::size_t kLongestDeviceNote = 256;
// /etc/ethers of a large site is a few hundred kilobytes; a larger file is
// left unread with a problem.
inline constexpr std::uint64_t kLargestNamesFile = 4 * 1024 * 1024;

struct DeviceName {
    std::string name;
    std::optional<std::string> note;
};

// An ethers hardware address: six bytes of one or two hexadecimal digits,
// all joined by ':' or all by '-'. Nothing for anything else.
std::optional<std::array<std::uint8_t, 6>> ParseEthersAddress(std::string_view text);

class DeviceNames {
public:
    // The entries of `text`, read as the file `fileName` (which problems
    // name). A later entry for the same address wins, within a file and
    // across files. A bad line is a problem and skipped; nothing is fatal.
    void Add(std::string_view text, const std::string& fileName);

    // The file `path`, through Add. A file that cannot be read is a problem,
    // except a missing one when `mayBeMissing` (/etc/ethers is optional).
    void Load(const std::string& path, bool mayBeMissing = false);

    // The name of `address`; nothing for an unknown device or an address
    // that is not six bytes.
    const DeviceName* Of(const HardwareAddressBytes& address) const;

    std::size_t Size() const { return names_.size(); }

    // Each line or file that could not be used: "FILE line N: why".
    const std::vector<std::string>& Problems() const { return problems_; }

private:
    std::map<std::array<std::uint8_t, 6>, DeviceName> names_;
    std::vector<std::string> problems_;
};

}  // namespace varnock::console
