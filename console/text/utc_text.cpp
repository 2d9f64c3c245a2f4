#include "console/text/utc_text.h"

#include <cstdio>
#include <ctime>

#include "console/system.h"

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

}  // namespace varnock::console
