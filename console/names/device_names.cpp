#include "console/names/device_names.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "console/text/hardware_address_reading.h"
#include "console/text/text_lines.h"

namespace varnock::console {
namespace {

constexpr std::string_view kBlanks = " \t\r\v\f";

bool IsBlank(char c) {
    return kBlanks.find(c) != std::string_view::npos;
}

std::string_view TrimBlanks(std::string_view text) {
    return Trimmed(text, kBlanks);
}

// The entry of one line, or why it cannot be one; nothing for a blank or
// comment line.
struct LineOutcome {
    std::optional<std::array<std::uint8_t, 6>> address;
    DeviceName name;
    std::string problem;
};

LineOutcome ReadLine(std::string_view line) {
    LineOutcome outcome;
    line = TrimBlanks(line);
    if (line.empty() || line.front() == '#') {
        return outcome;
    }
    std::size_t end = 0;
    while (end < line.size() && !IsBlank(line[end])) {
        ++end;
    }
    const std::string_view addressText = line.substr(0, end);
    outcome.address = ParseEthersAddress(addressText);
    if (!outcome.address) {
        outcome.problem = "not a hardware address (six bytes joined by ':' or '-')";
        return outcome;
    }
    std::string_view rest = TrimBlanks(line.substr(end));
    const std::size_t hash = rest.find('#');
    const std::string_view name = TrimBlanks(rest.substr(0, hash));
    if (name.empty()) {
        outcome.address.reset();
        outcome.problem = "a hardware address without a name";
        return outcome;
    }
    for (const char c : name) {
        if (IsBlank(c)) {
            outcome.address.reset();
            outcome.problem = "more than one word where the name is (a note starts with '#')";
            return outcome;
        }
    }
    if (name.size() > kLongestDeviceName) {
        outcome.address.reset();
        outcome.problem = "a name longer than " + std::to_string(kLongestDeviceName) + " bytes";
        return outcome;
    }
    outcome.name.name = std::string(name);
    if (hash != std::string_view::npos) {
        const std::string_view note = TrimBlanks(rest.substr(hash + 1));
        if (note.size() > kLongestDeviceNote) {
            outcome.address.reset();
            outcome.problem = "a note longer than " + std::to_string(kLongestDeviceNote) + " bytes";
            return outcome;
        }
        if (!note.empty()) {
            outcome.name.note = std::string(note);
        }
    }
    return outcome;
}

}  // namespace

std::optional<std::array<std::uint8_t, 6>> ParseEthersAddress(std::string_view text) {
    const auto read = ReadHardwareAddressText(text, HardwareTextForm::kOneOrTwoDigits);
    std::array<std::uint8_t, 6> bytes{};
    if (!read || read->size() != bytes.size()) {
        return std::nullopt;
    }
    std::copy(read->begin(), read->end(), bytes.begin());
    return bytes;
}

void DeviceNames::Add(std::string_view text, const std::string& fileName) {
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        LineOutcome outcome = ReadLine(TakeLine(text));
        if (!outcome.problem.empty()) {
            problems_.push_back(fileName + " line " + std::to_string(number) + ": " +
                                outcome.problem);
        } else if (outcome.address) {
            names_[*outcome.address] = std::move(outcome.name);
        }
    }
}

void DeviceNames::Load(const std::string& path, bool mayBeMissing) {
    // A FIFO would block the reader and a directory reads as nothing: only a
    // regular file (or a link to one) is opened.
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        if (!mayBeMissing) {
            problems_.push_back(path + ": cannot be read: no such file");
        }
        return;
    }
    if (!error && status.type() != std::filesystem::file_type::regular) {
        problems_.push_back(path + ": not a regular file");
        return;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        problems_.push_back(path + ": cannot be read: " + std::generic_category().message(errno));
        return;
    }
    // One byte past the limit tells a file at the limit from a larger one.
    std::string text(kLargestNamesFile + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (file.bad()) {
        problems_.push_back(path + ": cannot be read");
        return;
    }
    text.resize(static_cast<std::size_t>(file.gcount()));
    if (text.size() > kLargestNamesFile) {
        problems_.push_back(path + ": larger than " + std::to_string(kLargestNamesFile) +
                            " bytes, not read");
        return;
    }
    Add(text, path);
}

const DeviceName* DeviceNames::Of(const HardwareAddressBytes& address) const {
    if (address.size() != 6) {
        return nullptr;
    }
    std::array<std::uint8_t, 6> key{};
    std::copy(address.begin(), address.end(), key.begin());
    const auto found = names_.find(key);
    return found == names_.end() ? nullptr : &found->second;
}

}  // namespace varnock::console
