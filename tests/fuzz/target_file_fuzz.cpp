// Any target file, read in pieces of any size: it must never crash, and what
// it gives must stay within the limits the reader promises.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "console/command/usage_error.h"
#include "console/lookups/target_file.h"
#include "tests/support/text_input.h"

namespace {

using varnock::console::TargetSystem;

// Every name resolves (to one address, so that names cost nothing), and one
// interface exists.
const TargetSystem kSystem{
    [](const std::string&) { return std::vector{varnock::IpAddress::V4(0x0B02'00C0)}; },
    [](const std::string& name) {
        return name == "c0" ? std::optional<std::uint32_t>(4) : std::nullopt;
    }};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte is the size of the pieces the file is read in.
    const std::size_t piece = size > 0 ? std::size_t{data[0]} + 1 : 1;
    const std::string text(reinterpret_cast<const char*>(data) + (size > 0 ? 1 : 0),
                           size > 0 ? size - 1 : 0);
    varnock::testing::TextInput input(text, piece);
    std::vector<varnock::console::Target> targets;
    try {
        varnock::console::AppendTargetFile(input, "fuzz", kSystem, targets);
    } catch (const varnock::console::UsageError&) {
        // A refusal is an outcome like any other.
    }
    if (targets.size() > varnock::console::kMaxAddresses) {
        std::abort();
    }
    for (const auto& target : targets) {
        if (target.given.size() > varnock::console::kLongestTarget) {
            std::abort();
        }
    }
    return 0;
}
