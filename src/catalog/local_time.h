// SPDX-License-Identifier: GPL-3.0-or-later
// Conversions between calendar time and the user's local date and time,
// with caches that make them cheap for millions of entries while giving
// exactly what mktime, localtime and strftime give.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
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
    // mktime. A date mktime cannot represent gives -1. Where the clocks
    // were set back, a time that occurs twice means its first occurrence;
    // where they were set forward, a skipped time is read with the offset
    // in force before the change (mktime's own answer there depends on the
    // calls made before it).
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
    // The texts of the sixty seconds of one minute: one text with the two
    // digits of the seconds patched in where the locale writes them so,
    // else every second's own text.
    struct MinuteTexts {
        bool made = false;
        std::size_t secondsAt = std::string::npos;
        std::string pattern;
        std::unique_ptr<std::string[]> seconds;
    };
    std::string_view DayText(std::int64_t day);
    std::int64_t AcrossAChange(std::int64_t local, std::int64_t offsetBefore,
                               std::int64_t offsetAfter);
    void AppendTimeOfDay(int secondOfDay, std::string& out);
    void MakeMinute(MinuteTexts& minute, int minuteStart);

    UtcOffsetHistory offsets_;
    // Day texts, each a length byte and its characters, one after another;
    // where a day's text starts (plus one) is kept by day in blocks of 512
    // days made as they are first needed, 0 until made. Both stay small
    // enough for the cache over millions of dates.
    static constexpr int kDayBlockBits = 9;
    std::vector<std::unique_ptr<std::uint32_t[]>> dayTextAt_;
    std::string dayChars_;
    std::string dayScratch_;
    std::vector<MinuteTexts> minutes_;
    std::string text_;
};

// Days since 1970-01-01 of a proleptic Gregorian date (month 1 to 12).
std::int64_t DaysFromCivil(std::int64_t year, int month, int day);

}  // namespace kestavo
