#include "console/lookups/target_file.h"

#include <system_error>

#include "console/command/usage_error.h"
#include "console/text/line_reader.h"

namespace varnock::console {
namespace {

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

void AppendTargetFile(InputFile& file, const std::string& name, const TargetSystem& system,
                      std::vector<Target>& all) {
    const std::string where = "-f " + Quoted(name);
    LineReader lines(file, kLongestTargetLine);
    for (;;) {
        std::optional<std::string_view> line;
        try {
            line = lines.Next();
        } catch (const std::system_error& failure) {
            throw UsageError(where + ": cannot be read (" + failure.code().message() + ")");
        }
        if (!line) {
            return;
        }
        const std::string_view text = Trimmed(*line);
        if (text.starts_with('#') || (text.empty() && !lines.Cut())) {
            continue;
        }
        const std::string at = where + ", line " + std::to_string(lines.Number()) + ": ";
        if (lines.Cut()) {
            throw UsageError(at + "longer than " + std::to_string(kLongestTargetLine) +
                             " bytes, and no target is");
        }
        try {
            const std::string target(text);
            AppendWithinLimit(all, ExpandTargets({&target, 1}, system), target);
        } catch (const UsageError& mistake) {
            throw UsageError(at + mistake.what());
        }
    }
}

}  // namespace varnock::console
