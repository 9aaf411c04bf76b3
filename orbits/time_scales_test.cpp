// Time scales: the campaign's time values to GPS time in more than one time
// zone, GPS weeks, leap seconds and the scales of the other systems.
#include "orbits/time_scales.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <ostream>

#include "obsdb/schema.h"

namespace {

struct Calendar {
    int year, month, day, hour, minute;
    double seconds;
    double gps() const { return orbits::calendar_seconds(year, month, day, hour, minute, seconds); }
};

std::ostream& operator<<(std::ostream& out, const Calendar& c) {
    return out << c.year << "-" << c.month << "-" << c.day << " " << c.hour << ":" << c.minute;
}

}  // namespace

// A stored epoch (the receiver's GPS calendar read as local time) comes back
// as the GPS time of that calendar, whatever the zone and its summer time;
// and back again.
TEST(TimeValue, ToGpsSecondsInTwoZonesAcrossSummerTime) {
    const Calendar epochs[] = {
        {2021, 1, 1, 0, 0, 0.0},         // winter
        {2021, 7, 1, 12, 30, 15.5},      // summer, with a fraction
        {2021, 3, 28, 1, 59, 30.0},      // Berlin: just before summer time begins at 02:00
        {2021, 3, 28, 3, 0, 0.0},        // Berlin: just after
        {2021, 10, 31, 1, 59, 59.0},     // Berlin: before the doubled hour
        {2021, 10, 31, 2, 30, 0.0},      // Berlin: inside the hour that happens twice
        {2021, 10, 31, 3, 0, 30.0},      // Berlin: after it
        {2021, 3, 14, 1, 59, 0.0},       // New York: before summer time
        {2021, 3, 14, 3, 0, 0.0},        // New York: after
        {2021, 11, 7, 1, 30, 0.0},       // New York: the doubled hour
        {2020, 6, 25, 23, 59, 59.9},     // the precise orbit's day, end
    };
    for (const char* zone : {"America/New_York", "Europe/Berlin"}) {
        // Berlin last: the zone every test runs in (tests/testkit/test_main.cpp).
        setenv("TZ", zone, 1);
        tzset();
        for (const Calendar& c : epochs) {
            const double tv = time_value(c.year, c.month, c.day, c.hour, c.minute, c.seconds);
            EXPECT_NEAR(orbits::gps_seconds_of_time_value(tv), c.gps(), 1e-6) << zone << " " << c;
            EXPECT_NEAR(orbits::time_value_of_gps_seconds(c.gps()), tv, 1e-6) << zone << " " << c;
        }
    }
}

TEST(GpsWeek, WeeksAndSecondsOfWeek) {
    struct Row {
        Calendar c;
        int week;
        double seconds;
    };
    const Row rows[] = {
        {{1980, 1, 6, 0, 0, 0}, 0, 0},
        {{2020, 6, 25, 0, 0, 0}, 2111, 345600},   // the precise orbit's first epoch
        {{2021, 1, 2, 23, 59, 59.5}, 2138, 604799.5},
        {{2021, 1, 3, 0, 0, 0}, 2139, 0},
        {{1999, 8, 22, 0, 0, 0}, 1024, 0},        // the first week number roll-over
    };
    for (const Row& r : rows) {
        const orbits::GpsWeekTime w = orbits::gps_week_time(r.c.gps());
        EXPECT_EQ(w.week, r.week) << r.c;
        EXPECT_DOUBLE_EQ(w.seconds, r.seconds) << r.c;
    }
}

TEST(LeapSeconds, TableFileAndOtherScales) {
    struct Row {
        Calendar utc;
        int leap;
    };
    const Row rows[] = {
        {{1980, 1, 6, 0, 0, 0}, 0},        {{1981, 6, 30, 23, 59, 59}, 0},
        {{1981, 7, 1, 0, 0, 0}, 1},        {{1999, 1, 1, 0, 0, 0}, 13},
        {{2008, 12, 31, 23, 59, 59}, 14},  {{2009, 1, 1, 0, 0, 0}, 15},
        {{2016, 12, 31, 23, 59, 59}, 17},  {{2017, 1, 1, 0, 0, 0}, 18},
        {{2026, 12, 8, 0, 0, 0}, 18},
    };
    for (const Row& r : rows) {
        const double utc = r.utc.gps();  // the calendar's seconds, here read as UTC
        EXPECT_EQ(orbits::leap_seconds_at_utc(utc), r.leap) << r.utc;
        EXPECT_EQ(orbits::gps_of_utc(utc), utc + r.leap) << r.utc;
        // And back from GPS time, on either side of the step.
        EXPECT_EQ(orbits::utc_of_gps(utc + r.leap), utc) << r.utc;
    }
    // The file's LEAP SECONDS wins over the table.
    const double utc = orbits::calendar_seconds(2021, 1, 1, 0, 0, 0);
    EXPECT_EQ(orbits::gps_of_utc(utc, 19), utc + 19);
    EXPECT_EQ(orbits::utc_of_gps(utc + 19, 19), utc);
    EXPECT_EQ(orbits::gps_of_utc(utc, 0), utc);
    // BeiDou time is 14 s behind GPS time.
    EXPECT_EQ(orbits::bdt_of_gps(utc), utc - 14);
    EXPECT_EQ(orbits::gps_of_bdt(utc - 14), utc);
}
