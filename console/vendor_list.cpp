#include "console/vendor_list.h"

#include <fstream>
#include <iterator>

namespace varnock::console {
namespace {

constexpr std::string_view kHexMarker = "(hex)";

std::optional<unsigned> HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<unsigned>(c - '0');
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<unsigned>(c - 'A' + 10);
    }
    if (c >= 'a' && c <= 'f') {
        return static_cast<unsigned>(c - 'a' + 10);
    }
    return std::nullopt;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// "00-1A-2B" at the start of `line`, as a number.
std::optional<std::uint32_t> Prefix(std::string_view line) {
    if (line.size() < 8 || line[2] != '-' || line[5] != '-') {
        return std::nullopt;
    }
    std::uint32_t prefix = 0;
    for (const std::size_t at : {0u, 1u, 3u, 4u, 6u, 7u}) {
        const auto digit = HexDigit(line[at]);
        if (!digit) {
            return std::nullopt;
        }
        prefix = (prefix << 4) | *digit;
    }
    return prefix;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

std::optional<VendorList> VendorList::Load(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file.bad()) {
        return std::nullopt;
    }
    return Parse(std::move(text));
}

VendorList VendorList::Parse(std::string text) {
    // Whatever the file holds, a name must not steer a terminal.
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') {
            c = ' ';
        }
    }
    VendorList list;
    list.text_ = std::make_unique<const std::string>(std::move(text));
    std::string_view rest = *list.text_;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);

        const auto prefix = Prefix(line);
        if (!prefix) {
            continue;
        }
        std::string_view after = TrimBlanks(line.substr(8));
        if (!after.starts_with(kHexMarker)) {
            continue;
        }
        const std::string_view name = TrimBlanks(after.substr(kHexMarker.size()));
        if (!name.empty()) {
            // The first assignment listed for a prefix wins.
            list.vendors_.emplace(*prefix, name);
        }
    }
    return list;
}

std::optional<std::string_view> VendorList::Find(const HardwareAddressBytes& bytes) const {
    if (bytes.size() < 3) {
        return std::nullopt;
    }
    const std::uint32_t prefix =
        (std::uint32_t{bytes[0]} << 16) | (std::uint32_t{bytes[1]} << 8) | std::uint32_t{bytes[2]};
    const auto found = vendors_.find(prefix);
    if (found == vendors_.end()) {
        return std::nullopt;
    }
    return found->second;
}

}  // namespace varnock::console
