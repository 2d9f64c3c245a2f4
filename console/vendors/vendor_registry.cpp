#include "console/vendors/vendor_registry.h"

#include <algorithm>
#include <cstring>

#include "console/text/text_lines.h"

namespace varnock::console {
namespace {

constexpr std::string_view kMagic = "varnock vendors 3\n";
constexpr std::size_t kEntrySize = 20;  // key, name offset, name length, checksum
// No registry name comes near it: anything longer is damage.
constexpr std::uint32_t kLongestName = 4096;

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

// The blanks around a vendor list's words.
constexpr std::string_view kBlanks = " \t\r";

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
    const std::string_view rest = Trimmed(line.substr(word), kBlanks);
    if (!rest.starts_with(marker)) {
        return std::nullopt;
    }
    return Trimmed(rest.substr(marker.size()), kBlanks);
}

// A user's "PREFIX<TAB>NAME" line.
std::optional<VendorBlock> UserLine(std::string_view line) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view prefix = Trimmed(line.substr(0, tab), kBlanks);
    const std::string_view name = Trimmed(line.substr(tab + 1), kBlanks);
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

// Finds an entry or a name damaged, not a forgery.
std::uint32_t Checksum(std::string_view bytes) {
    constexpr std::uint64_t kMultiplier = 0x9E37'79B9'7F4A'7C15;
    std::uint64_t hash = bytes.size();
    for (const char byte : bytes) {
        hash = (hash ^ static_cast<unsigned char>(byte)) * kMultiplier;
        hash ^= hash >> 29;
    }
    return static_cast<std::uint32_t>(hash);
}

std::uint32_t EntryChecksum(std::uint64_t key, std::uint32_t offset, std::string_view name) {
    std::string entry;
    Put(entry, key);
    Put(entry, offset);
    Put(entry, static_cast<std::uint32_t>(name.size()));
    return Checksum(entry.append(name));
}

class BytesInMemory final : public CompactBytes {
public:
    explicit BytesInMemory(std::string bytes) : bytes_(std::move(bytes)) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    bool ReadAt(std::uint64_t at, std::span<char> into) const override {
        if (at > bytes_.size() || into.size() > bytes_.size() - at) {
            return false;
        }
        std::memcpy(into.data(), bytes_.data() + at, into.size());
        return true;
    }

private:
    std::string bytes_;
};

template <typename Number>
std::optional<Number> NumberAt(const CompactBytes& bytes, std::uint64_t at) {
    Number value = 0;
    if (!bytes.ReadAt(at, std::span(reinterpret_cast<char*>(&value), sizeof value))) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> TextAt(const CompactBytes& bytes, std::uint64_t at, std::size_t size) {
    std::string text(size, '\0');
    if (!bytes.ReadAt(at, text)) {
        return std::nullopt;
    }
    return text;
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
        parser.Line(TakeLine(text));
    }
    return parser.Finish();
}

std::shared_ptr<const CompactBytes> CompactBytesOf(std::string bytes) {
    return std::make_shared<const BytesInMemory>(std::move(bytes));
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
    std::string body;
    Put<std::uint32_t>(body, static_cast<std::uint32_t>(blocks.size()));
    std::string names;
    for (auto& block : blocks) {
        if (block.name.size() > kLongestName) {
            block.name.resize(kLongestName);
        }
        const std::uint64_t key = KeyOf(block.prefix, block.bits);
        const auto offset = static_cast<std::uint32_t>(names.size());
        Put(body, key);
        Put(body, offset);
        Put<std::uint32_t>(body, static_cast<std::uint32_t>(block.name.size()));
        Put(body, EntryChecksum(key, offset, block.name));
        names += block.name;
    }
    body += names;
    VendorRegistry registry;
    registry.count_ = blocks.size();
    registry.entriesAt_ = sizeof(std::uint32_t);
    registry.namesAt_ = registry.entriesAt_ + registry.count_ * kEntrySize;
    registry.bytes_ = CompactBytesOf(std::move(body));
    return registry;
}

std::string VendorRegistry::Serialize(std::string_view stamp) const {
    std::string out(kMagic);
    Put<std::uint32_t>(out, static_cast<std::uint32_t>(stamp.size()));
    out += stamp;
    const std::uint64_t bodySize = bytes_->Size() - bodyAt_;
    Put<std::uint64_t>(out, bodySize);
    const std::size_t bodyStart = out.size();
    // At most kLargestVendorCache when read back from a file, and held in
    // memory whole when built: it fits a size_t either way.
    out.resize(bodyStart + static_cast<std::size_t>(bodySize));
    if (!bytes_->ReadAt(bodyAt_, std::span(out).subspan(bodyStart))) {
        return {};  // gone from under us: no cache rather than a broken one
    }
    return out;
}

std::optional<VendorRegistry> VendorRegistry::FromCompact(std::shared_ptr<const CompactBytes> bytes,
                                                          std::string_view stamp) {
    const std::uint64_t stampAt = kMagic.size() + sizeof(std::uint32_t);
    const std::uint64_t sizeAt = stampAt + stamp.size();
    const std::uint64_t bodyAt = sizeAt + sizeof(std::uint64_t);
    if (bytes->Size() < bodyAt + sizeof(std::uint32_t) || StampOf(*bytes) != stamp ||
        NumberAt<std::uint64_t>(*bytes, sizeAt) != bytes->Size() - bodyAt) {
        return std::nullopt;
    }
    const auto count = NumberAt<std::uint32_t>(*bytes, bodyAt);
    if (!count) {
        return std::nullopt;
    }
    VendorRegistry registry;
    registry.bodyAt_ = bodyAt;
    registry.count_ = *count;
    registry.entriesAt_ = bodyAt + sizeof(std::uint32_t);
    registry.namesAt_ = registry.entriesAt_ + std::uint64_t{*count} * kEntrySize;
    if (registry.namesAt_ > bytes->Size()) {
        return std::nullopt;
    }
    registry.bytes_ = std::move(bytes);
    return registry;
}

std::optional<std::string> VendorRegistry::StampOf(const CompactBytes& bytes) {
    const std::uint64_t stampAt = kMagic.size() + sizeof(std::uint32_t);
    if (bytes.Size() < stampAt || TextAt(bytes, 0, kMagic.size()) != kMagic) {
        return std::nullopt;
    }
    const auto size = NumberAt<std::uint32_t>(bytes, kMagic.size());
    if (!size || *size > bytes.Size() - stampAt) {
        return std::nullopt;
    }
    return TextAt(bytes, stampAt, *size);
}

std::optional<std::uint64_t> VendorRegistry::KeyAt(std::size_t index) const {
    auto key = NumberAt<std::uint64_t>(*bytes_, entriesAt_ + index * kEntrySize);
    damaged_ = damaged_ || !key;
    return key;
}

std::optional<std::string_view> VendorRegistry::NameAt(std::size_t index, std::uint64_t key) const {
    if (const auto known = found_.find(key); known != found_.end()) {
        return known->second;
    }
    const std::uint64_t at = entriesAt_ + index * kEntrySize + sizeof key;
    const auto offset = NumberAt<std::uint32_t>(*bytes_, at);
    const auto length = NumberAt<std::uint32_t>(*bytes_, at + 4);
    const auto checksum = NumberAt<std::uint32_t>(*bytes_, at + 8);
    std::optional<std::string> name;
    // A damaged entry never sends a read past the file's end.
    if (offset && length && checksum && *length <= kLongestName &&
        *offset + std::uint64_t{*length} <= bytes_->Size() - namesAt_) {
        name = TextAt(*bytes_, namesAt_ + *offset, *length);
    }
    if (!name || EntryChecksum(key, *offset, *name) != *checksum) {
        damaged_ = true;
        return std::nullopt;
    }
    return found_.emplace(key, std::move(*name)).first->second;
}

std::optional<std::string_view> VendorRegistry::Find(const HardwareAddressBytes& bytes) const {
    if (bytes.size() != 6 || count_ == 0) {
        return std::nullopt;
    }
    std::uint64_t address = 0;
    for (const std::uint8_t byte : bytes) {
        address = (address << 8) | byte;
    }
    for (const std::uint8_t bits : {std::uint8_t{36}, std::uint8_t{28}, std::uint8_t{24}}) {
        const std::uint64_t wanted = KeyOf(address >> (48 - bits), bits);
        std::size_t low = 0;
        std::size_t high = count_;
        while (low < high) {
            const std::size_t middle = low + (high - low) / 2;
            const auto key = KeyAt(middle);
            if (!key) {
                return std::nullopt;
            }
            if (*key < wanted) {
                low = middle + 1;
            } else {
                high = middle;
            }
        }
        if (low < count_ && KeyAt(low) == wanted) {
            return NameAt(low, wanted);
        }
    }
    return std::nullopt;
}

}  // namespace varnock::console
