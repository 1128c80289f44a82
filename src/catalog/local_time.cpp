// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/local_time.h"

#include <algorithm>
#include <cstdint>
#include <ctime>

namespace kestavo {
namespace {

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

struct Civil {
    std::int64_t year;
    int month, day;
};

Civil CivilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = FloorDiv(z, 146097);
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

// mktime on the given fields; -1 when it fails.
std::int64_t SystemMakeTime(std::int64_t year, std::int64_t month, std::int64_t day,
                            std::int64_t hour, std::int64_t minute, std::int64_t second) {
    std::tm tm{};
    tm.tm_year = static_cast<int>(year - 1900);
    tm.tm_mon = static_cast<int>(month - 1);
    tm.tm_mday = static_cast<int>(day);
    tm.tm_hour = static_cast<int>(hour);
    tm.tm_min = static_cast<int>(minute);
    tm.tm_sec = static_cast<int>(second);
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    return static_cast<std::int64_t>(t);
}

bool SystemGmtOffset(std::int64_t time, std::int64_t& offset) {
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return false;
    offset = tm.tm_gmtoff;
    return true;
}

std::string Strftime(const char* format, const std::tm& tm) {
    char buffer[256];
    const std::size_t n = std::strftime(buffer, sizeof buffer, format, &tm);
    return std::string(buffer, n);
}

std::tm TmOfCivil(std::int64_t days, int secondOfDay) {
    const Civil c = CivilFromDays(days);
    std::tm tm{};
    tm.tm_year = static_cast<int>(c.year - 1900);
    tm.tm_mon = c.month - 1;
    tm.tm_mday = c.day;
    tm.tm_hour = secondOfDay / 3600;
    tm.tm_min = secondOfDay / 60 % 60;
    tm.tm_sec = secondOfDay % 60;
    tm.tm_wday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    tm.tm_yday = static_cast<int>(days - DaysFromCivil(c.year, 1, 1));
    tm.tm_isdst = -1;
    return tm;
}

void ReplaceLastOneByZero(std::string& text) {
    const std::size_t pos = text.rfind('1');
    if (pos != std::string::npos) text[pos] = '0';
}

// Years for which the cached arithmetic is used; others go to the system.
constexpr std::int64_t kFastYearMin = 1800;
constexpr std::int64_t kFastYearMax = 2200;

}  // namespace

std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = FloorDiv(year, 400);
    const std::int64_t yoe = year - era * 400;
    const std::int64_t mp = month > 2 ? month - 3 : month + 9;
    const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

UtcOffsetHistory::Stretch& UtcOffsetHistory::StretchOf(std::int64_t time) {
    if (!slots_) slots_ = std::make_unique<Stretch[]>(kSlots);
    const std::int64_t index = time >> kStretchBits;
    Stretch& stretch = slots_[static_cast<std::size_t>(index) & (kSlots - 1)];
    if (stretch.index != index) {
        stretch.index = index;
        Learn(stretch);
    }
    return stretch;
}

void UtcOffsetHistory::Learn(Stretch& stretch) {
    stretch.changes.clear();
    stretch.known = false;
    const std::int64_t first = stretch.index << kStretchBits;
    const std::int64_t end = first + (std::int64_t{1} << kStretchBits);
    std::int64_t previous = 0;
    if (!SystemGmtOffset(first, previous)) return;
    stretch.startOffset = previous;
    for (std::int64_t t = first + (std::int64_t{1} << kSampleBits); t <= end;
         t += std::int64_t{1} << kSampleBits) {
        const std::int64_t sample = std::min(t, end - 1);
        std::int64_t offset = 0;
        if (!SystemGmtOffset(sample, offset)) return;
        if (offset == previous) continue;
        // The change lies in (sample - step, sample]: find its second.
        std::int64_t low = t - (std::int64_t{1} << kSampleBits), high = sample;
        while (high - low > 1) {
            const std::int64_t mid = low + (high - low) / 2;
            std::int64_t midOffset = 0;
            if (!SystemGmtOffset(mid, midOffset)) return;
            (midOffset == previous ? low : high) = mid;
        }
        stretch.changes.emplace_back(high, offset);
        previous = offset;
    }
    stretch.known = true;
}

bool UtcOffsetHistory::OffsetAt(std::int64_t time, std::int64_t& offset) {
    const Stretch& stretch = StretchOf(time);
    if (!stretch.known) return false;
    offset = stretch.startOffset;
    for (const auto& [when, after] : stretch.changes) {
        if (when > time) break;
        offset = after;
    }
    return true;
}

bool UtcOffsetHistory::ConstantOver(std::int64_t from, std::int64_t to, std::int64_t& offset) {
    if (!OffsetAt(from, offset)) return false;
    const std::int64_t firstIndex = from >> kStretchBits;
    for (std::int64_t index = firstIndex; index <= (to >> kStretchBits); ++index) {
        const Stretch& stretch = StretchOf(index << kStretchBits);
        if (!stretch.known || (index != firstIndex && stretch.startOffset != offset)) return false;
        for (const auto& change : stretch.changes)
            if (change.first > from && change.first <= to) return false;
    }
    return true;
}

LocalClock::LocalClock() = default;
LocalClock::~LocalClock() = default;

std::int64_t LocalClock::MakeTime(int year, int month, int day, int hour, int minute, int second) {
    const std::int64_t months = static_cast<std::int64_t>(year) * 12 + (std::int64_t{month} - 1);
    const std::int64_t y = FloorDiv(months, 12);
    const int m = static_cast<int>(months - y * 12) + 1;
    if (y >= kFastYearMin && y <= kFastYearMax) {
        const std::int64_t local = (DaysFromCivil(y, m, 1) + (std::int64_t{day} - 1)) * 86400 +
                                   std::int64_t{hour} * 3600 + std::int64_t{minute} * 60 + second;
        // Local time lies within 15 hours of UTC: when one offset holds
        // for that long around it, the local time is neither skipped nor
        // repeated, and mktime gives exactly local time minus the offset.
        constexpr std::int64_t kMargin = 15 * 3600;
        std::int64_t offset = 0;
        if (offsets_.ConstantOver(local - kMargin, local + kMargin, offset)) return local - offset;
        std::int64_t before = 0, after = 0;
        if (offsets_.OffsetAt(local - kMargin, before) && offsets_.OffsetAt(local + kMargin, after))
            return AcrossAChange(local, before, after);
    }
    return SystemMakeTime(year, month, day, hour, minute, second);
}

// A local time near a change of offset: each offset that gives back the
// same local time is an answer; of two (a repeated hour) the earlier is
// taken, and with none (a skipped hour) the offset before the change.
std::int64_t LocalClock::AcrossAChange(std::int64_t local, std::int64_t offsetBefore,
                                       std::int64_t offsetAfter) {
    std::int64_t earliest = INT64_MAX;
    for (const std::int64_t offset : {offsetBefore, offsetAfter}) {
        std::int64_t actual = 0;
        const std::int64_t time = local - offset;
        if (offsets_.OffsetAt(time, actual) && actual == offset)
            earliest = std::min(earliest, time);
    }
    return earliest != INT64_MAX ? earliest : local - offsetBefore;
}

bool LocalClock::LocalFields(std::int64_t time, Fields& out) {
    std::int64_t offset = 0;
    if (offsets_.OffsetAt(time, offset)) {
        const std::int64_t local = time + offset;
        const std::int64_t days = FloorDiv(local, 86400);
        const int rest = static_cast<int>(local - days * 86400);
        const Civil c = CivilFromDays(days);
        out = {c.year, c.month, c.day, rest / 3600, rest / 60 % 60, rest % 60};
        return true;
    }
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return false;
    out = {std::int64_t{tm.tm_year} + 1900,
           tm.tm_mon + 1,
           tm.tm_mday,
           tm.tm_hour,
           tm.tm_min,
           tm.tm_sec};
    return true;
}

std::string_view LocalClock::DayText(std::int64_t day) {
    // Every day of the years the cached arithmetic serves, with a year's
    // margin on both sides.
    static const std::int64_t firstDay = DaysFromCivil(kFastYearMin - 1, 1, 1);
    static const std::int64_t lastDay = DaysFromCivil(kFastYearMax + 2, 1, 1);
    if (day < firstDay || day >= lastDay) {
        dayScratch_ = Strftime("%x", TmOfCivil(day, 0));
        return dayScratch_;
    }
    const auto index = static_cast<std::size_t>(day - firstDay);
    const std::size_t block = index >> kDayBlockBits;
    if (dayTextAt_.empty())
        dayTextAt_.resize(((static_cast<std::size_t>(lastDay - firstDay)) >> kDayBlockBits) + 1);
    if (!dayTextAt_[block])
        dayTextAt_[block] = std::make_unique<std::uint32_t[]>(std::size_t{1} << kDayBlockBits);
    std::uint32_t& at = dayTextAt_[block][index & ((std::size_t{1} << kDayBlockBits) - 1)];
    if (at == 0) {
        const std::string text = Strftime("%x", TmOfCivil(day, 0));  // at most 255 bytes
        at = static_cast<std::uint32_t>(dayChars_.size() + 1);
        dayChars_ += static_cast<char>(static_cast<unsigned char>(text.size()));
        dayChars_ += text;
    }
    return std::string_view(dayChars_).substr(at, static_cast<unsigned char>(dayChars_[at - 1]));
}

void LocalClock::MakeMinute(MinuteTexts& minute, int minuteStart) {
    // Most locales write the seconds as two digits in one place: then one
    // text of the minute, with its seconds replaced, gives all sixty. Three
    // probes make sure of it; otherwise every second is formatted.
    minute.made = true;
    const std::string probe37 = Strftime("%X", TmOfCivil(0, minuteStart + 37));
    const std::string probe48 = Strftime("%X", TmOfCivil(0, minuteStart + 48));
    const std::string probe05 = Strftime("%X", TmOfCivil(0, minuteStart + 5));
    const std::size_t at = probe37.find("37");
    auto withSeconds = [&](int second) {
        std::string text = probe37;
        text[at] = static_cast<char>('0' + second / 10);
        text[at + 1] = static_cast<char>('0' + second % 10);
        return text;
    };
    if (at != std::string::npos && probe37.find("37", at + 1) == std::string::npos &&
        withSeconds(48) == probe48 && withSeconds(5) == probe05) {
        minute.pattern = probe37;
        minute.secondsAt = at;
        return;
    }
    minute.seconds = std::make_unique<std::string[]>(60);
    for (int second = 0; second < 60; ++second)
        minute.seconds[second] = Strftime("%X", TmOfCivil(0, minuteStart + second));
}

void LocalClock::AppendTimeOfDay(int secondOfDay, std::string& out) {
    if (minutes_.empty()) minutes_.resize(24 * 60);
    MinuteTexts& minute = minutes_[static_cast<std::size_t>(secondOfDay / 60)];
    if (!minute.made) MakeMinute(minute, secondOfDay / 60 * 60);
    const int second = secondOfDay % 60;
    if (minute.secondsAt == std::string::npos) {
        out += minute.seconds[second];
        return;
    }
    const std::size_t at = out.size() + minute.secondsAt;
    out += minute.pattern;
    out[at] = static_cast<char>('0' + second / 10);
    out[at + 1] = static_cast<char>('0' + second % 10);
}

std::string_view LocalClock::DateText(std::int64_t time) {
    std::int64_t offset = 0;
    if (offsets_.OffsetAt(time, offset)) {
        const std::int64_t local = time + offset;
        const std::int64_t days = FloorDiv(local, 86400);
        const std::int64_t yearGuess = days / 365 + 1970;
        if (yearGuess > kFastYearMin && yearGuess < kFastYearMax) {
            int rest = static_cast<int>(local - days * 86400);
            const bool midnight = rest == 0;
            if (midnight) rest = 1;
            text_.assign(DayText(days));
            text_ += ' ';
            AppendTimeOfDay(rest, text_);
            if (midnight) ReplaceLastOneByZero(text_);
            return text_;
        }
    }
    // Far from today, or where localtime does not answer: ask the system.
    std::time_t t = static_cast<std::time_t>(time);
    std::tm tm{};
    text_.clear();
    if (!localtime_r(&t, &tm)) return text_;
    const bool midnight = tm.tm_hour == 0 && tm.tm_min == 0 && tm.tm_sec == 0;
    if (midnight) {
        t += 1;
        if (!localtime_r(&t, &tm)) return text_;
    }
    text_ = Strftime("%x %X", tm);
    if (midnight) ReplaceLastOneByZero(text_);
    return text_;
}

}  // namespace kestavo
