// Conversions between calendar time and the user's local date and time,
// with caches that make them cheap for millions of entries while giving
// exactly what mktime, localtime and strftime give.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestavo {

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
    // ("%x %X"); at exactly midnight the time shows all zeros.
    std::string DateText(std::int64_t time);

    // Local calendar fields of `time` (as localtime).
    struct Fields {
        std::int64_t year;
        int month, day, hour, minute, second;
    };
    bool LocalFields(std::int64_t time, Fields& out);

private:
    struct OffsetSlot {
        std::int64_t bucket = INT64_MIN;
        std::int64_t offset = 0;  // local minus UTC, seconds
        bool uniform = false;     // the offset holds for the whole bucket
    };
    struct DaySlot {
        std::int64_t day = INT64_MIN;
        std::string text;
    };
    static constexpr int kBucketBits = 15;
    static constexpr std::size_t kSlots = 1 << 16;

    const OffsetSlot& UtcOffsetFor(std::int64_t time);
    const OffsetSlot& LocalOffsetFor(std::int64_t localSeconds);
    const std::string& DayText(std::int64_t day);
    const std::string& TimeOfDayText(int secondOfDay);

    std::vector<OffsetSlot> utcSlots_;
    std::vector<OffsetSlot> localSlots_;
    std::vector<DaySlot> daySlots_;
    std::vector<std::string> timeTexts_;
};

// Days since 1970-01-01 of a proleptic Gregorian date (month 1 to 12).
std::int64_t DaysFromCivil(std::int64_t year, int month, int day);

}  // namespace kestavo
