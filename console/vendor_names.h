#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/vendor_registry.h"
#include "lookup/hardware_address_text.h"

namespace varnock::console {

// Debian's ieee-data: the IEEE's registries of MA-S (36-bit), IAB (36-bit),
// MA-M (28-bit) and MA-L (24-bit) assignments.
inline constexpr const char* kSystemVendorFiles[] = {
    "/usr/share/ieee-data/oui36.txt", "/usr/share/ieee-data/iab.txt",
    "/usr/share/ieee-data/mam.txt", "/usr/share/ieee-data/oui.txt"};

struct VendorSources {
    std::vector<std::string> systemFiles;  // those that are missing are skipped
    std::optional<std::string> userFile;   // --vendor-file: wins over the system's
    // Where the system's registries are kept in compact form between runs,
    // so that a run reads a small index instead of megabytes of text; none:
    // parse them every time.
    std::optional<std::string> cacheDirectory;
};

// What the vendor of a hardware address is, read only once an answer needs
// it: a run with no answer never pays for the lists.
class VendorNames {
public:
    explicit VendorNames(VendorSources sources) : sources_(std::move(sources)) {}

    // The vendor by the longest prefix, the user's list first; nothing when
    // no list names one.
    std::optional<std::string_view> Of(const HardwareAddressBytes& bytes);

    // A user's list that cannot be read: the reason, once it was asked for.
    const std::string& Problem() const { return problem_; }

private:
    void Load();

    VendorSources sources_;
    bool loaded_ = false;
    std::string problem_;
    std::optional<VendorRegistry> user_;
    std::optional<VendorRegistry> system_;
};

// Whether the address was set locally rather than assigned by the IEEE (the
// second-lowest bit of the first byte): phones and laptops make up such
// addresses per network, and no registry names their vendor.
bool IsLocallyAdministered(const HardwareAddressBytes& bytes);

// One line per list file found, with the date it was last changed, for
// --version and --help; a line saying so when there is none.
std::string DescribeVendorSources(const VendorSources& sources);

}  // namespace varnock::console
