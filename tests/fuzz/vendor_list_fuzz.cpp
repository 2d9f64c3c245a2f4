// Any vendor list, read in pieces of any size, and any bytes as a cache: it
// must never crash; a list read in pieces gives what the whole text gives;
// and the compact form of what it holds reads back and answers alike.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "console/vendors/vendor_list_file.h"
#include "console/vendors/vendor_registry.h"
#include "tests/support/text_input.h"

namespace {

using varnock::HardwareAddressBytes;
using varnock::console::VendorBlock;
using varnock::console::VendorRegistry;

bool Same(const std::vector<VendorBlock>& a, const std::vector<VendorBlock>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].prefix != b[i].prefix || a[i].bits != b[i].bits || a[i].name != b[i].name) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::size_t piece = size > 0 ? std::size_t{data[0]} + 1 : 1;
    const std::string text(reinterpret_cast<const char*>(data) + (size > 0 ? 1 : 0),
                           size > 0 ? size - 1 : 0);
    varnock::testing::TextInput input(text, piece);
    auto blocks = varnock::console::ReadVendorBlocks(input);
    // Inputs here are far shorter than a skipped line, so both agree.
    if (text.size() <= varnock::console::kLongestVendorLine &&
        !Same(blocks, varnock::console::ParseVendorBlocks(text))) {
        std::abort();
    }

    const auto built = VendorRegistry::FromBlocks(std::move(blocks));
    const auto back = VendorRegistry::FromCompact(
        varnock::console::CompactBytesOf(built.Serialize("stamp\n")), "stamp\n");
    if (!back || back->Size() != built.Size()) {
        std::abort();
    }
    // Addresses from the input's own bytes, so that some of them match.
    for (std::size_t at = 0; at + 6 <= size; at += 6) {
        const HardwareAddressBytes address(data + at, data + at + 6);
        if (built.Find(address) != back->Find(address)) {
            std::abort();
        }
    }

    // The input itself as a cache file: refused or answered, never a crash.
    if (const auto hostile =
            VendorRegistry::FromCompact(varnock::console::CompactBytesOf(text), "stamp\n")) {
        (void)hostile->Find({0x70, 0xB3, 0xD5, 0xE1, 0x20, 0x01});
    }
    return 0;
}
