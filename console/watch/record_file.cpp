#include "console/watch/record_file.h"

#include <ctime>

#include "console/lookups/result_text.h"
#include "console/system.h"
#include "lookup/hardware_address_text.h"

namespace varnock::console {

std::string UtcText(WallClock::time_point time) {
    const std::time_t seconds = WallClock::to_time_t(time);
    const std::tm parts = UtcPartsOf(seconds);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

std::optional<WallClock::time_point> ParseUtcText(const std::string& text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char zone = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &year, &month, &day, &hour, &minute,
                    &second, &zone) != 7 ||
        zone != 'Z') {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year(year),
                                           std::chrono::month(static_cast<unsigned>(month)),
                                           std::chrono::day(static_cast<unsigned>(day))};
    // The system clock counts nanoseconds, which reach only to 2262.
    constexpr int kEarliestYear = 1970;
    constexpr int kLatestYear = 2200;
    if (!date.ok() || year < kEarliestYear || year > kLatestYear || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 60) {
        return std::nullopt;
    }
    return std::chrono::sys_days(date) + std::chrono::hours(hour) + std::chrono::minutes(minute) +
           std::chrono::seconds(second);
}

std::string FormatWatchState(const std::vector<SeenNeighbour>& seen) {
    std::string text =
        "{\"version\": " + std::to_string(kWatchStateVersion) + ", \"neighbours\": [";
    const auto noName = [](std::uint32_t) { return std::string(); };
    for (std::size_t i = 0; i < seen.size(); ++i) {
        const SeenNeighbour& neighbour = seen[i];
        text += i == 0 ? "\n  " : ",\n  ";
        text += "{\"address\": " + JsonString(AddressText(neighbour.address, noName));
        text += ", \"interface\": " + JsonString(neighbour.interfaceName);
        text += ", \"hardware_address\": " +
                JsonString(HardwareAddressText(neighbour.hardwareAddress, ":"));
        text += ", \"first_seen\": " + JsonString(UtcText(neighbour.firstSeen));
        text += ", \"last_seen\": " + JsonString(UtcText(neighbour.lastSeen));
        text += std::string(", \"answering\": ") + (neighbour.answering ? "true" : "false") + "}";
    }
    return text + "\n]}\n";
}

}  // namespace varnock::console
