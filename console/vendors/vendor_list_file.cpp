#include "console/vendors/vendor_list_file.h"

#include <algorithm>

#include "console/text/line_reader.h"

namespace varnock::console {
namespace {

// Gives no more than `budget` bytes of `file`.
class BoundedInput final : public InputFile {
public:
    BoundedInput(InputFile& file, std::uint64_t budget) : file_(file), budget_(budget) {}

    std::size_t Read(std::span<char> into) override {
        const auto asked = static_cast<std::size_t>(std::min<std::uint64_t>(into.size(), budget_));
        if (asked == 0) {
            return 0;
        }
        const std::size_t got = file_.Read(into.first(asked));
        budget_ -= got;
        return got;
    }

private:
    InputFile& file_;
    std::uint64_t budget_;
};

}  // namespace

RegularFile OpenVendorList(const std::string& path) {
    RegularFile opened = OpenRegularFile(path);
    if (opened.file && opened.size > kLargestVendorList) {
        opened.file.reset();
        opened.problem =
            "larger than " + std::to_string(kLargestVendorList / (1024 * 1024)) + " MiB";
    }
    return opened;
}

std::vector<VendorBlock> ReadVendorBlocks(InputFile& file) {
    BoundedInput bounded(file, kLargestVendorList);
    LineReader lines(bounded, kLongestVendorLine);
    VendorListParser parser;
    while (const auto line = lines.Next()) {
        if (!lines.Cut()) {
            parser.Line(*line);
        }
    }
    return parser.Finish();
}

}  // namespace varnock::console
