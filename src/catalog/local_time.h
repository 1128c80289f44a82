// Conversions between calendar time and the user's local date and time,
// with caches that make them cheap for millions of entries while giving
// exactly what mktime, localtime and strftime give.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kestavo {

// The offset of local time from UTC over time, learnt from localtime one
// stretch of time at a time: the offset at the start of each stretch and
// the moments inside it where the offset changes.
class UtcOffsetHistory {
public:
    // The offset (local minus UTC, seconds) in force at `time`.
    bool OffsetAt(std::int64_t time, std::int64_t& offset);
    // Whether one offset holds from `from` to `to` (UTC), and which.
    bool ConstantOver(std::int64_t from, std::int64_t to, std::int64_t& offset);

private:
    static constexpr int kStretchBits = 22;  // about 48 days
    static constexpr int kSampleBits = 13;   // changes are looked for every 2.3 hours
    static constexpr std::size_t kSlots = 512;
    struct Stretch {
        std::int64_t index = INT64_MIN;
        bool known = false;  // localtime answered for the whole stretch
        std::int64_t startOffset = 0;
        std::vector<std::pair<std::int64_t, std::int64_t>> changes;  // time, offset after
    };
    Stretch& StretchOf(std::int64_t time);
    static void Learn(Stretch& stretch);

    std::unique_ptr<Stretch[]> slots_;
};

class LocalClock {
public:
    LocalClock();
    ~LocalClock();
    LocalClock(const LocalClock&) = delete;
    LocalClock& operator=(const LocalClock&) = delete;

    // Calendar time of a local date and time, as mktime with daylight
    // saving decided by the platform. Fields out of range carry over as in
    // mktime. A date mktime cannot represent gives -1.
    std::int64_t MakeTime(int year, int month, int day, int hour, int minute, int second);

    // The entry date text: the locale's date, a blank and the locale's time
    // ("%x %X"); at exactly midnight the time shows all zeros. The text is
    // valid until the next call.
    std::string_view DateText(std::int64_t time);

    // Local calendar fields of `time` (as localtime).
    struct Fields {
        std::int64_t year;
        int month, day, hour, minute, second;
    };
    bool LocalFields(std::int64_t time, Fields& out);

private:
    const std::string& DayText(std::int64_t day);
    const std::string& TimeOfDayText(int secondOfDay);
    void FillMinute(std::string* texts, int minuteStart);

    UtcOffsetHistory offsets_;
    std::unordered_map<std::int64_t, std::string> dayTexts_;
    // Time-of-day texts, one block of 3600 seconds per hour used.
    std::vector<std::unique_ptr<std::string[]>> timeTexts_;
    std::string text_;
};

// Days since 1970-01-01 of a proleptic Gregorian date (month 1 to 12).
std::int64_t DaysFromCivil(std::int64_t year, int month, int day);

}  // namespace kestavo
