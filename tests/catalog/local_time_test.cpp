// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/local_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <random>
#include <string>

namespace kestavo {
namespace {

// Runs a test body in another time zone and comes back to UTC.
class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone) {
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard() {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

// mktime of the fields, with daylight saving as `dst` says (-1: mktime's
// own choice).
std::int64_t SystemMakeTime(int y, int mo, int d, int h, int mi, int s, int dst = -1) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = dst;
    return std::mktime(&tm);
}

// Whether the local time occurs exactly once: of the two readings, with
// and without daylight saving, only one gives a time that local time calls
// by that reading.
bool OccursOnce(int y, int mo, int d, int h, int mi, int s) {
    int readings = 0;
    for (const int dst : {0, 1}) {
        const std::time_t t = SystemMakeTime(y, mo, d, h, mi, s, dst);
        std::tm back{};
        if (t != -1 && localtime_r(&t, &back) && back.tm_isdst == dst) ++readings;
    }
    return readings == 1;
}

std::string SystemDateText(std::int64_t time) {
    std::time_t t = time;
    std::tm tm{};
    localtime_r(&t, &tm);
    const bool midnight = tm.tm_hour == 0 && tm.tm_min == 0 && tm.tm_sec == 0;
    if (midnight) {
        ++t;
        localtime_r(&t, &tm);
    }
    char buffer[128];
    std::string text(buffer, std::strftime(buffer, sizeof buffer, "%x %X", &tm));
    if (midnight) text[text.rfind('1')] = '0';
    return text;
}

class LocalClockZones : public ::testing::TestWithParam<const char*> {};

TEST_P(LocalClockZones, MakeTimeAgreesWithMktimeAroundTheYear) {
    ZoneGuard zone(GetParam());
    LocalClock clock;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> year(1950, 2035), month(1, 12), day(1, 31), hour(0, 23),
        minute(0, 59);
    for (int i = 0; i < 20000; ++i) {
        const int y = year(random), mo = month(random), d = day(random), h = hour(random),
                  mi = minute(random), s = minute(random);
        if (!OccursOnce(y, mo, d, h, mi, s)) continue;
        ASSERT_EQ(clock.MakeTime(y, mo, d, h, mi, s), SystemMakeTime(y, mo, d, h, mi, s))
            << y << "-" << mo << "-" << d << " " << h << ":" << mi << ":" << s;
    }
    // Every hour of the days around the changes of 2021 that occurs once,
    // and fields out of range.
    for (int d = 1; d <= 31; ++d)
        for (int mo : {3, 4, 10, 11})
            for (int h = 0; h < 24; ++h)
                for (int mi : {0, 15, 30, 59})
                    if (OccursOnce(2021, mo, d, h, mi, 0)) {
                        ASSERT_EQ(clock.MakeTime(2021, mo, d, h, mi, 0),
                                  SystemMakeTime(2021, mo, d, h, mi, 0))
                            << mo << "-" << d << " " << h << ":" << mi;
                    }
    EXPECT_EQ(clock.MakeTime(2020, 13, 0, 25, -1, 61), SystemMakeTime(2020, 13, 0, 25, -1, 61));
    EXPECT_EQ(clock.MakeTime(1, 8, 0, 2000, 0, 0), SystemMakeTime(1, 8, 0, 2000, 0, 0));
}

TEST_P(LocalClockZones, DateTextAgreesWithStrftime) {
    ZoneGuard zone(GetParam());
    LocalClock clock;
    std::mt19937_64 random(11);
    std::uniform_int_distribution<std::int64_t> when(-1000000000, 2085000000);
    for (int i = 0; i < 20000; ++i) {
        const std::int64_t t = when(random);
        ASSERT_EQ(clock.DateText(t), SystemDateText(t)) << t;
    }
    // Local midnights and the seconds around them.
    for (int d = 1; d <= 28; ++d) {
        const std::int64_t midnight = SystemMakeTime(2021, 3, d, 0, 0, 0);
        for (std::int64_t t = midnight - 2; t <= midnight + 2; ++t)
            ASSERT_EQ(clock.DateText(t), SystemDateText(t)) << t;
    }
}

INSTANTIATE_TEST_SUITE_P(Zones, LocalClockZones,
                         ::testing::Values("UTC", "Europe/Berlin", "America/New_York",
                                           "Australia/Lord_Howe", "Asia/Kolkata"));

// A repeated or skipped local time gets one answer, whatever was asked
// before it: the same catalog shows the same times in every run.
TEST(LocalClockTest, RepeatedAndSkippedTimesHaveOneAnswer) {
    ZoneGuard zone("Europe/Berlin");
    for (const bool summerFirst : {true, false}) {
        LocalClock clock;
        // Leaves the platform's guess in summer or in winter.
        SystemMakeTime(2021, summerFirst ? 7 : 1, 1, 0, 0, 0);
        clock.MakeTime(2021, summerFirst ? 7 : 1, 1, 12, 0, 0);
        // 2021-10-31 02:30 occurs at 00:30 and at 01:30 UTC: the first.
        EXPECT_EQ(clock.MakeTime(2021, 10, 31, 2, 30, 0), 1635640200);
        // 2021-03-28 02:30 never occurs: read as winter time, 01:30 UTC.
        EXPECT_EQ(clock.MakeTime(2021, 3, 28, 2, 30, 0), 1616895000);
        // On both sides of the repeated hour the answers are plain.
        EXPECT_EQ(clock.MakeTime(2021, 10, 31, 1, 59, 59), 1635638400 - 1);
        EXPECT_EQ(clock.MakeTime(2021, 10, 31, 3, 0, 0), 1635645600);
    }
}

TEST(LocalClockTest, FieldsOfATime) {
    LocalClock clock;
    LocalClock::Fields f{};
    ASSERT_TRUE(clock.LocalFields(907771805, f));  // 1998-10-07 14:50:05 UTC
    EXPECT_EQ(f.year, 1998);
    EXPECT_EQ(f.month, 10);
    EXPECT_EQ(f.day, 7);
    EXPECT_EQ(f.hour, 14);
    EXPECT_EQ(f.minute, 50);
    EXPECT_EQ(f.second, 5);
    EXPECT_EQ(DaysFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(DaysFromCivil(2000, 3, 1), 11017);
    EXPECT_EQ(DaysFromCivil(1969, 12, 31), -1);
}

}  // namespace
}  // namespace kestavo
