#pragma once

#include <cstdint>
#include <memory>
#include <optional>
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

// Vendor names by the longest matching prefix. Built from blocks, or read
// back from the compact form that Serialize writes (kept in the user's cache
// so that a run does not parse megabytes of registry text).
class VendorRegistry {
public:
    // On blocks with the same prefix, the first given wins.
    static VendorRegistry FromBlocks(std::vector<VendorBlock> blocks);

    // The compact form, preceded by `stamp` (what it was built from) and
    // by the size and a checksum of what follows; FromCompact gives nothing
    // for bytes of another stamp, or whose size or checksum disagree with
    // the header (a file cut short or damaged: it is made anew). `owner`
    // keeps `bytes` alive. An entry whose name would lie outside them is
    // not answered.
    std::string Serialize(std::string_view stamp) const;
    static std::optional<VendorRegistry> FromCompact(std::shared_ptr<const void> owner,
                                                     std::string_view bytes,
                                                     std::string_view stamp);
    // The stamp that compact bytes carry, for a file whose stamp is not
    // known beforehand (the one shipped with the program); nothing for
    // bytes that are no compact form.
    static std::optional<std::string_view> StampOf(std::string_view bytes);

    // The vendor of the longest prefix (36, then 28, then 24 bits) that the
    // list holds for a six-byte hardware address.
    std::optional<std::string_view> Find(const HardwareAddressBytes& bytes) const;

    std::size_t Size() const { return count_; }

private:
    // The compact bytes, built or read back: the entries (key, name offset,
    // name length; sorted by key) and the names they point into.
    std::shared_ptr<const void> owner_;
    std::string_view bytes_;
    std::size_t entriesAt_ = 0;
    std::size_t count_ = 0;
    std::size_t namesAt_ = 0;
};

}  // namespace varnock::console
