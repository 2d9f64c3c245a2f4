#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lookup/hardware_address_text.h"

namespace varnock::console {

// One assignment of the IEEE (or of a user's own list): the first `bits`
// bits of a hardware address, 24 (MA-L), 28 (MA-M) or 36 (MA-S and the older
// IAB), belong to `name`.
struct VendorBlock {
    std::uint64_t prefix = 0;
    std::uint8_t bits = 24;
    std::string name;
};

// The blocks a list's text holds. Two forms are read:
//   - the IEEE's registry text (oui.txt, mam.txt, oui36.txt, iab.txt): a
//     "00-1A-2B   (hex)   Name" line, then "001A2B   (base 16)   Name" for
//     the whole block or "E00000-EFFFFF   (base 16)   Name" for a part of it;
//   - a user's "PREFIX<TAB>NAME" lines, with a prefix of 6, 7 or 9 hex digits
//     (24, 28 or 36 bits; ':', '-' and '.' between them are allowed).
// Lines that are neither, and blocks that do not fit, are skipped.
// VendorListParser takes the text a line at a time, as it is read;
// ParseVendorBlocks a whole text at once.
class VendorListParser {
public:
    void Line(std::string_view line);
    // The blocks of all the lines given.
    std::vector<VendorBlock> Finish();

private:
    // A "(hex)" line without its "(base 16)" line yet.
    void WholeOui();

    std::vector<VendorBlock> blocks_;
    bool pending_ = false;
    std::uint64_t pendingOui_ = 0;
    std::string pendingName_;
};
std::vector<VendorBlock> ParseVendorBlocks(std::string_view text);

// Where the compact form of a registry is: in memory, or in a file read a
// record at a time (a lookup reads a few hundred bytes of it, never the
// whole).
class CompactBytes {
public:
    virtual ~CompactBytes() = default;
    virtual std::uint64_t Size() const = 0;
    // Fills `into` with the bytes from `at`; false when they are not all
    // there (a file cut since it was opened, a failed read).
    virtual bool ReadAt(std::uint64_t at, std::span<char> into) const = 0;
};
std::shared_ptr<const CompactBytes> CompactBytesOf(std::string bytes);

// Vendor names by the longest matching prefix. Built from blocks, or read
// back from the compact form that Serialize writes (kept in the user's cache
// so that a run does not parse megabytes of registry text).
class VendorRegistry {
public:
    // On blocks with the same prefix, the first given wins.
    static VendorRegistry FromBlocks(std::vector<VendorBlock> blocks);

    // The compact form, preceded by `stamp` (what it was built from) and by
    // the sizes of what follows; each entry carries a checksum of itself and
    // its name. FromCompact gives nothing for bytes of another stamp, or
    // whose size disagrees with the header (a file cut short or grown: it is
    // made anew).
    std::string Serialize(std::string_view stamp) const;
    static std::optional<VendorRegistry> FromCompact(std::shared_ptr<const CompactBytes> bytes,
                                                     std::string_view stamp);
    // The stamp that compact bytes carry, for a file whose stamp is not
    // known beforehand (the one shipped with the program); nothing for
    // bytes that are no compact form.
    static std::optional<std::string> StampOf(const CompactBytes& bytes);

    // The vendor of the longest prefix (36, then 28, then 24 bits) that the
    // list holds for a six-byte hardware address. The text lives as long as
    // the registry. An entry that fails its checksum or cannot be read is
    // not answered, and marks the registry Damaged.
    std::optional<std::string_view> Find(const HardwareAddressBytes& bytes) const;
    bool Damaged() const { return damaged_; }

    std::size_t Size() const { return count_; }

private:
    std::optional<std::uint64_t> KeyAt(std::size_t index) const;
    std::optional<std::string_view> NameAt(std::size_t index, std::uint64_t key) const;

    // The entries (key, name offset, name length, checksum; sorted by key)
    // from entriesAt_, then the names they point into.
    std::shared_ptr<const CompactBytes> bytes_;
    std::uint64_t bodyAt_ = 0;  // the count, then the entries
    std::uint64_t entriesAt_ = 0;
    std::size_t count_ = 0;
    std::uint64_t namesAt_ = 0;
    // The names found so far, by key: what Find hands out points here.
    mutable std::map<std::uint64_t, std::string> found_;
    mutable bool damaged_ = false;
};

}  // namespace varnock::console
