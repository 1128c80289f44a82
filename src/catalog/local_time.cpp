#include "catalog/local_time.h"

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

LocalClock::LocalClock() = default;
LocalClock::~LocalClock() = default;

const LocalClock::OffsetSlot& LocalClock::LocalOffsetFor(std::int64_t local) {
    if (localSlots_.empty()) localSlots_.resize(kSlots);
    const std::int64_t bucket = local >> kBucketBits;
    OffsetSlot& slot = localSlots_[static_cast<std::size_t>(bucket) & (kSlots - 1)];
    if (slot.bucket == bucket) return slot;
    slot.bucket = bucket;
    slot.uniform = false;
    // Local times of the bucket lie within a day of the same UTC times; when
    // the offset is the same two days before and after, no change of offset
    // can make a local time of the bucket skipped or repeated, and mktime
    // gives exactly local time minus that offset.
    constexpr std::int64_t kMargin = 2 * 86400;
    const std::int64_t first = bucket << kBucketBits;
    const std::int64_t last = first + (std::int64_t{1} << kBucketBits) - 1;
    std::int64_t g0 = 0, g1 = 0, gm = 0;
    if (SystemGmtOffset(first - kMargin, g0) && SystemGmtOffset(last + kMargin, g1) &&
        SystemGmtOffset(first + (last - first) / 2, gm) && g0 == g1 && g0 == gm) {
        slot.offset = g0;
        slot.uniform = true;
    }
    return slot;
}

const LocalClock::OffsetSlot& LocalClock::UtcOffsetFor(std::int64_t time) {
    if (utcSlots_.empty()) utcSlots_.resize(kSlots);
    const std::int64_t bucket = time >> kBucketBits;
    OffsetSlot& slot = utcSlots_[static_cast<std::size_t>(bucket) & (kSlots - 1)];
    if (slot.bucket == bucket) return slot;
    slot.bucket = bucket;
    slot.uniform = false;
    const std::int64_t first = bucket << kBucketBits;
    const std::int64_t last = first + (std::int64_t{1} << kBucketBits) - 1;
    std::int64_t g0 = 0, g1 = 0;
    if (SystemGmtOffset(first, g0) && SystemGmtOffset(last, g1) && g0 == g1) {
        slot.offset = g0;
        slot.uniform = true;
    }
    return slot;
}

std::int64_t LocalClock::MakeTime(int year, int month, int day, int hour, int minute,
                                  int second) {
    const std::int64_t months = static_cast<std::int64_t>(year) * 12 + (month - 1);
    const std::int64_t y = FloorDiv(months, 12);
    const int m = static_cast<int>(months - y * 12) + 1;
    if (y < kFastYearMin || y > kFastYearMax)
        return SystemMakeTime(year, month, day, hour, minute, second);
    const std::int64_t local = (DaysFromCivil(y, m, 1) + (day - 1)) * 86400 +
                               std::int64_t{hour} * 3600 + std::int64_t{minute} * 60 + second;
    const OffsetSlot& slot = LocalOffsetFor(local);
    if (slot.uniform) return local - slot.offset;
    return SystemMakeTime(year, month, day, hour, minute, second);
}

bool LocalClock::LocalFields(std::int64_t time, Fields& out) {
    const OffsetSlot& slot = UtcOffsetFor(time);
    if (slot.uniform) {
        const std::int64_t local = time + slot.offset;
        const std::int64_t days = FloorDiv(local, 86400);
        const int rest = static_cast<int>(local - days * 86400);
        const Civil c = CivilFromDays(days);
        out = {c.year, c.month, c.day, rest / 3600, rest / 60 % 60, rest % 60};
        return true;
    }
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return false;
    out = {std::int64_t{tm.tm_year} + 1900, tm.tm_mon + 1, tm.tm_mday,
           tm.tm_hour, tm.tm_min, tm.tm_sec};
    return true;
}

const std::string& LocalClock::DayText(std::int64_t day) {
    if (daySlots_.empty()) daySlots_.resize(kSlots);
    DaySlot& slot = daySlots_[static_cast<std::size_t>(day) & (kSlots - 1)];
    if (slot.day != day) {
        slot.day = day;
        slot.text = Strftime("%x", TmOfCivil(day, 0));
    }
    return slot.text;
}

const std::string& LocalClock::TimeOfDayText(int secondOfDay) {
    if (timeTexts_.empty()) timeTexts_.resize(86400);
    std::string& text = timeTexts_[static_cast<std::size_t>(secondOfDay)];
    if (text.empty()) text = Strftime("%X", TmOfCivil(0, secondOfDay));
    return text;
}

std::string LocalClock::DateText(std::int64_t time) {
    const OffsetSlot& slot = UtcOffsetFor(time);
    if (slot.uniform) {
        const std::int64_t local = time + slot.offset;
        const std::int64_t days = FloorDiv(local, 86400);
        const std::int64_t yearGuess = days / 365 + 1970;
        if (yearGuess > kFastYearMin && yearGuess < kFastYearMax) {
            int rest = static_cast<int>(local - days * 86400);
            const bool midnight = rest == 0;
            if (midnight) rest = 1;
            std::string text = DayText(days);
            text += ' ';
            text += TimeOfDayText(rest);
            if (midnight) ReplaceLastOneByZero(text);
            return text;
        }
    }
    // Near a change of the offset, or far from today: ask the system.
    std::time_t t = static_cast<std::time_t>(time);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return std::string();
    const bool midnight = tm.tm_hour == 0 && tm.tm_min == 0 && tm.tm_sec == 0;
    if (midnight) {
        t += 1;
        if (!localtime_r(&t, &tm)) return std::string();
    }
    std::string text = Strftime("%x %X", tm);
    if (midnight) ReplaceLastOneByZero(text);
    return text;
}

}  // namespace kestavo
