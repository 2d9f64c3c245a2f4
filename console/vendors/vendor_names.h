#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/vendors/vendor_registry.h"
#include "lookup/hardware_address_text.h"

namespace varnock::console {

// Debian's ieee-data: the IEEE's registries of MA-S (36-bit), IAB (36-bit),
// MA-M (28-bit) and MA-L (24-bit) assignments.
inline constexpr const char* kSystemVendorFiles[] = {
    "/usr/share/ieee-data/oui36.txt", "/usr/share/ieee-data/iab.txt",
    "/usr/share/ieee-data/mam.txt", "/usr/share/ieee-data/oui.txt"};

// The compact form in the cache is never larger than this (the registries'
// is about 1.7 MB); a larger file there is no cache of ours.
inline constexpr std::uint64_t kLargestVendorCache = 64 * 1024 * 1024;

// What a result or an event shows besides itself: its vendor, by the
// registries, or that its address is locally administered.
struct Vendor {
    std::optional<std::string_view> name;
    bool locallyAdministered = false;
};

struct VendorSources {
    std::vector<std::string> systemFiles;  // those that are missing are skipped
    std::optional<std::string> userFile;   // --vendor-file: wins over the system's
    // Where the system's registries are kept in compact form between runs,
    // so that a run reads a small index instead of megabytes of text; none:
    // parse them every time.
    std::optional<std::string> cacheDirectory;
    // The compact form made from the build machine's registries, shipped
    // beside the program where the system has none (Windows); used only
    // when no system list is found. Its stamp names the registries and
    // their dates.
    std::optional<std::string> shippedFile = std::nullopt;
};

// What the vendor of a hardware address is, read only once an answer needs
// it: a run with no answer never pays for the lists.
class VendorNames {
public:
    explicit VendorNames(VendorSources sources) : sources_(std::move(sources)) {}

    // The vendor by the longest prefix, the user's list first; nothing when
    // no list names one.
    std::optional<std::string_view> Of(const HardwareAddressBytes& bytes);

    // The lists that could not be used, each with its reason, since this
    // was asked last (a warning for the user: the lookups stand). A missing
    // system list is no problem: each is optional.
    std::vector<std::string> TakeProblems() { return std::exchange(problems_, {}); }

private:
    void Load();
    // The system's lists, from the cache when `trustCache` and it is theirs.
    void LoadSystemLists(bool trustCache);
    void LoadShipped();
    void Warn(const std::string& path, const std::string& why);

    VendorSources sources_;
    bool loaded_ = false;
    std::vector<std::string> problems_;
    std::optional<VendorRegistry> user_;
    std::optional<VendorRegistry> system_;
    // The cache found damaged and made anew (once a run), kept for the names
    // it has handed out.
    std::optional<VendorRegistry> damaged_;
};

// Whether the address was set locally rather than assigned by the IEEE (the
// second-lowest bit of the first byte): phones and laptops make up such
// addresses per network, and no registry names their vendor.
bool IsLocallyAdministered(const HardwareAddressBytes& bytes);

// One line per list file found, with the date it was last changed, or the
// shipped form with the registries it was made from, for --version and
// --help; a line saying so when there is none.
std::string DescribeVendorSources(const VendorSources& sources);

}  // namespace varnock::console
