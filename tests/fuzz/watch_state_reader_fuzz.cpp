// Any text as a watch's state file: the reader must never crash, throw or
// read past the text; what it accepts must read back from its own writer
// with the same interface names, byte for byte, and after one pass stay the
// same.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

#include "console/watch/record_file.h"
#include "console/watch/record_file_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace varnock::console;
    const auto read = ParseWatchState(std::string_view(reinterpret_cast<const char*>(data), size));
    const auto* seen = std::get_if<std::vector<SeenNeighbour>>(&read);
    if (seen == nullptr) {
        return 0;
    }
    std::string written = FormatWatchState(*seen);
    for (int pass = 0; pass < 2; ++pass) {
        const auto again = ParseWatchState(written);
        const auto* reread = std::get_if<std::vector<SeenNeighbour>>(&again);
        if (reread == nullptr) {
            std::abort();  // its own writer's text refused
        }
        if (reread->size() != seen->size()) {
            std::abort();
        }
        for (std::size_t i = 0; i < seen->size(); ++i) {
            if ((*reread)[i].interfaceName != (*seen)[i].interfaceName) {
                std::abort();  // a name changed on its way through the file
            }
        }
        std::string rewritten = FormatWatchState(*reread);
        if (pass == 1 && rewritten != written) {
            std::abort();  // not settled after one pass
        }
        written = std::move(rewritten);
    }
    return 0;
}
