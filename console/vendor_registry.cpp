#include "console/vendor_registry.h"

#include <algorithm>
#include <cstring>

namespace varnock::console {
namespace {

constexpr std::string_view kMagic = "varnock vendors 2\n";
constexpr std::size_t kEntrySize = 16;  // key, name offset, name length

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

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// `count` hex digits at the start of `text`, skipping the separators in
// `skipping`; nothing when they are not there.
std::optional<std::uint64_t> HexNumber(std::string_view text, std::size_t count,
                                       std::string_view skipping, std::size_t* used = nullptr) {
    std::uint64_t value = 0;
    std::size_t digits = 0;
    std::size_t at = 0;
    for (; at < text.size() && digits < count; ++at) {
        if (skipping.find(text[at]) != std::string_view::npos) {
            continue;
        }
        const auto digit = HexDigit(text[at]);
        if (!digit) {
            return std::nullopt;
        }
        value = (value << 4) | *digit;
        ++digits;
    }
    if (digits != count) {
        return std::nullopt;
    }
    if (used != nullptr) {
        *used = at;
    }
    return value;
}

// Control characters in a name would steer a terminal: blanks instead.
std::string CleanName(std::string_view name) {
    std::string clean(name);
    for (char& c : clean) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = ' ';
        }
    }
    return clean;
}

// What follows a marker such as "(hex)" on a registry line, or nothing when
// the line does not carry it right after its first word.
std::optional<std::string_view> AfterMarker(std::string_view line, std::string_view marker) {
    const std::size_t word = line.find_first_of(" \t");
    if (word == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view rest = Trimmed(line.substr(word));
    if (!rest.starts_with(marker)) {
        return std::nullopt;
    }
    return Trimmed(rest.substr(marker.size()));
}

// A user's "PREFIX<TAB>NAME" line.
std::optional<VendorBlock> UserLine(std::string_view line) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view prefix = Trimmed(line.substr(0, tab));
    const std::string_view name = Trimmed(line.substr(tab + 1));
    std::size_t digits = 0;
    for (const char c : prefix) {
        if (HexDigit(c)) {
            ++digits;
        } else if (c != ':' && c != '-' && c != '.') {
            return std::nullopt;
        }
    }
    if ((digits != 6 && digits != 7 && digits != 9) || name.empty()) {
        return std::nullopt;
    }
    const auto value = HexNumber(prefix, digits, ":-.");
    return VendorBlock{*value, static_cast<std::uint8_t>(digits * 4), CleanName(name)};
}

std::uint64_t KeyOf(std::uint64_t prefix, std::uint8_t bits) {
    return (std::uint64_t{bits} << 56) | prefix;
}

// Numbers in the compact form are stored as the machine holds them: the
// cache never leaves the machine that wrote it.
template <typename Number>
void Put(std::string& out, Number value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <typename Number>
Number Get(std::string_view bytes, std::size_t at) {
    Number value = 0;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

// Finds a file cut short, grown or damaged, not a forgery: eight bytes a
// step keeps it well under a millisecond for the registries' 1.7 MB.
std::uint64_t Checksum(std::string_view bytes) {
    constexpr std::uint64_t kMultiplier = 0x9E37'79B9'7F4A'7C15;
    std::uint64_t hash = bytes.size();
    std::size_t at = 0;
    for (; at + sizeof(std::uint64_t) <= bytes.size(); at += sizeof(std::uint64_t)) {
        hash = (hash ^ Get<std::uint64_t>(bytes, at)) * kMultiplier;
        hash ^= hash >> 29;
    }
    for (; at < bytes.size(); ++at) {
        hash = (hash ^ static_cast<unsigned char>(bytes[at])) * kMultiplier;
        hash ^= hash >> 29;
    }
    return hash;
}

}  // namespace

void VendorListParser::WholeOui() {
    if (pending_ && !pendingName_.empty()) {
        blocks_.push_back({pendingOui_, 24, std::move(pendingName_)});
    }
    pending_ = false;
}

// The "(hex)" line names a 24-bit OUI; a "(base 16)" line after it says
// which part of it the assignment is. A "(hex)" line without one stands for
// the whole OUI.
void VendorListParser::Line(std::string_view line) {
    if (const auto name = AfterMarker(line, "(hex)")) {
        WholeOui();
        if (const auto oui = HexNumber(line, 6, "-")) {
            pending_ = true;
            pendingOui_ = *oui;
            pendingName_ = CleanName(*name);
        }
        return;
    }
    if (const auto name = AfterMarker(line, "(base 16)"); name && pending_) {
        std::size_t used = 0;
        const auto low = HexNumber(line, 6, "", &used);
        if (low && used < line.size() && line[used] == '-') {
            const auto high = HexNumber(line.substr(used + 1), 6, "");
            const std::uint64_t size = high && *high >= *low ? *high - *low + 1 : 0;
            // Only whole blocks of 2^20 (MA-M) or 2^12 (MA-S, IAB).
            const std::uint8_t bits = size == (1u << 20) ? 28 : size == (1u << 12) ? 36 : 0;
            if (bits != 0 && (*low & (size - 1)) == 0 && !name->empty()) {
                blocks_.push_back(
                    {((pendingOui_ << 24) | *low) >> (48 - bits), bits, CleanName(*name)});
            }
            pending_ = false;
        } else if (low && *low == pendingOui_) {
            WholeOui();
        }
        return;
    }
    if (auto block = UserLine(line)) {
        blocks_.push_back(std::move(*block));
    }
}

std::vector<VendorBlock> VendorListParser::Finish() {
    WholeOui();
    return std::move(blocks_);
}

std::vector<VendorBlock> ParseVendorBlocks(std::string_view text) {
    VendorListParser parser;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        parser.Line(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return parser.Finish();
}

VendorRegistry VendorRegistry::FromBlocks(std::vector<VendorBlock> blocks) {
    // Stable: among equal prefixes the first given stays first, and wins.
    std::stable_sort(blocks.begin(), blocks.end(), [](const auto& a, const auto& b) {
        return KeyOf(a.prefix, a.bits) < KeyOf(b.prefix, b.bits);
    });
    blocks.erase(std::unique(blocks.begin(), blocks.end(),
                             [](const auto& a, const auto& b) {
                                 return KeyOf(a.prefix, a.bits) == KeyOf(b.prefix, b.bits);
                             }),
                 blocks.end());
    auto bytes = std::make_shared<std::string>();
    Put<std::uint32_t>(*bytes, static_cast<std::uint32_t>(blocks.size()));
    std::string names;
    for (const auto& block : blocks) {
        const std::uint64_t key = KeyOf(block.prefix, block.bits);
        bytes->append(reinterpret_cast<const char*>(&key), sizeof key);
        Put<std::uint32_t>(*bytes, static_cast<std::uint32_t>(names.size()));
        Put<std::uint32_t>(*bytes, static_cast<std::uint32_t>(block.name.size()));
        names += block.name;
    }
    *bytes += names;
    VendorRegistry registry;
    registry.bytes_ = *bytes;
    registry.owner_ = std::move(bytes);
    registry.count_ = blocks.size();
    registry.entriesAt_ = sizeof(std::uint32_t);
    registry.namesAt_ = registry.entriesAt_ + registry.count_ * kEntrySize;
    return registry;
}

std::string VendorRegistry::Serialize(std::string_view stamp) const {
    std::string out(kMagic);
    Put<std::uint32_t>(out, static_cast<std::uint32_t>(stamp.size()));
    out += stamp;
    Put<std::uint64_t>(out, bytes_.size());
    Put<std::uint64_t>(out, Checksum(bytes_));
    out.append(bytes_);
    return out;
}

std::optional<VendorRegistry> VendorRegistry::FromCompact(std::shared_ptr<const void> owner,
                                                          std::string_view data,
                                                          std::string_view stamp) {
    const std::size_t stampAt = kMagic.size() + sizeof(std::uint32_t);
    const std::size_t sizeAt = stampAt + stamp.size();
    const std::size_t countAt = sizeAt + 2 * sizeof(std::uint64_t);
    if (data.size() < countAt + sizeof(std::uint32_t) || data.substr(0, kMagic.size()) != kMagic ||
        Get<std::uint32_t>(data, kMagic.size()) != stamp.size() ||
        data.substr(stampAt, stamp.size()) != stamp ||
        Get<std::uint64_t>(data, sizeAt) != data.size() - countAt ||
        Get<std::uint64_t>(data, sizeAt + sizeof(std::uint64_t)) !=
            Checksum(data.substr(countAt))) {
        return std::nullopt;
    }
    VendorRegistry registry;
    registry.count_ = Get<std::uint32_t>(data, countAt);
    registry.entriesAt_ = countAt + sizeof(std::uint32_t);
    registry.namesAt_ = registry.entriesAt_ + registry.count_ * kEntrySize;
    if (registry.namesAt_ > data.size()) {
        return std::nullopt;
    }
    registry.owner_ = std::move(owner);
    registry.bytes_ = data;
    return registry;
}

std::optional<std::string_view> VendorRegistry::StampOf(std::string_view bytes) {
    const std::size_t stampAt = kMagic.size() + sizeof(std::uint32_t);
    if (bytes.size() < stampAt || bytes.substr(0, kMagic.size()) != kMagic) {
        return std::nullopt;
    }
    const std::uint32_t size = Get<std::uint32_t>(bytes, kMagic.size());
    if (size > bytes.size() - stampAt) {
        return std::nullopt;
    }
    return bytes.substr(stampAt, size);
}

std::optional<std::string_view> VendorRegistry::Find(const HardwareAddressBytes& bytes) const {
    if (bytes.size() != 6 || count_ == 0) {
        return std::nullopt;
    }
    std::uint64_t address = 0;
    for (const std::uint8_t byte : bytes) {
        address = (address << 8) | byte;
    }
    const std::string_view data = bytes_;
    const auto keyAt = [&](std::size_t index) {
        std::uint64_t key = 0;
        std::memcpy(&key, data.data() + entriesAt_ + index * kEntrySize, sizeof key);
        return key;
    };
    for (const std::uint8_t bits : {std::uint8_t{36}, std::uint8_t{28}, std::uint8_t{24}}) {
        const std::uint64_t wanted = KeyOf(address >> (48 - bits), bits);
        std::size_t low = 0;
        std::size_t high = count_;
        while (low < high) {
            const std::size_t middle = low + (high - low) / 2;
            if (keyAt(middle) < wanted) {
                low = middle + 1;
            } else {
                high = middle;
            }
        }
        if (low < count_ && keyAt(low) == wanted) {
            const std::size_t at = entriesAt_ + low * kEntrySize + sizeof(std::uint64_t);
            const std::uint64_t offset = Get<std::uint32_t>(data, at);
            const std::uint64_t length = Get<std::uint32_t>(data, at + 4);
            // A damaged file never sends a read past its end.
            if (offset + length > data.size() - namesAt_) {
                return std::nullopt;
            }
            return data.substr(namesAt_ + static_cast<std::size_t>(offset),
                               static_cast<std::size_t>(length));
        }
    }
    return std::nullopt;
}

}  // namespace varnock::console
