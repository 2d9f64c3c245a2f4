#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "console/system.h"
#include "console/vendors/vendor_registry.h"

namespace varnock::console {

// The largest list read: the IEEE's largest registry, oui.txt, is about
// 5 MB. A larger file is skipped with a warning, unread.
inline constexpr std::uint64_t kLargestVendorList = 16 * 1024 * 1024;
// Registry lines are under 200 bytes; a line longer than this is skipped.
inline constexpr std::size_t kLongestVendorLine = 4096;

// A vendor list opened for reading: OpenRegularFile, and a file larger
// than kLargestVendorList is not used either.
RegularFile OpenVendorList(const std::string& path);

// The blocks of a list, parsed a line at a time as it is read, never more
// than kLargestVendorList bytes of it (a file that grows while it is read
// is cut there). Throws std::system_error when a read fails.
std::vector<VendorBlock> ReadVendorBlocks(InputFile& file);

}  // namespace varnock::console
