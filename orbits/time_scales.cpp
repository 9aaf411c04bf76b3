#include "orbits/time_scales.h"

#include <cmath>
#include <ctime>

namespace orbits {

namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
long days_from_civil(long year, unsigned month, unsigned day) {
    year -= month <= 2;
    const long era = (year >= 0 ? year : year - 399) / 400;
    const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
    const unsigned day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + static_cast<long>(day_of_era) - 719468;
}

// UTC dates at which GPS - UTC grew by a second, and its value from then on.
struct LeapStep {
    int year, month, day;
    int gps_minus_utc;
};
constexpr LeapStep leap_steps[] = {
    {1981, 7, 1, 1},  {1982, 7, 1, 2},  {1983, 7, 1, 3},  {1985, 7, 1, 4},  {1988, 1, 1, 5},
    {1990, 1, 1, 6},  {1991, 1, 1, 7},  {1992, 7, 1, 8},  {1993, 7, 1, 9},  {1994, 7, 1, 10},
    {1996, 1, 1, 11}, {1997, 7, 1, 12}, {1999, 1, 1, 13}, {2006, 1, 1, 14}, {2009, 1, 1, 15},
    {2012, 7, 1, 16}, {2015, 7, 1, 17}, {2017, 1, 1, 18},
};

}  // namespace

double calendar_seconds(int year, int month, int day, int hour, int minute, double seconds) {
    const long days = days_from_civil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return static_cast<double>(days) * 86400.0 + hour * 3600.0 + minute * 60.0 + seconds;
}

double gps_seconds_of_time_value(double time_value) {
    const double whole = std::floor(time_value);
    const std::time_t t = static_cast<std::time_t>(whole);
    std::tm fields{};
    localtime_r(&t, &fields);
    return calendar_seconds(fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour,
                            fields.tm_min, fields.tm_sec) +
           (time_value - whole);
}

double TimeValueClock::gps(double time_value) {
    if (!(time_value >= from_ && time_value < from_ + 900.0)) {
        from_ = std::floor(time_value / 900.0) * 900.0;
        offset_ = gps_seconds_of_time_value(from_) - from_;
    }
    return time_value + offset_;
}

double time_value_of_gps_seconds(double gps_seconds) {
    const double whole = std::floor(gps_seconds);
    const std::time_t t = static_cast<std::time_t>(whole);
    std::tm fields{};
    gmtime_r(&t, &fields);
    fields.tm_isdst = -1;
    return static_cast<double>(std::mktime(&fields)) + (gps_seconds - whole);
}

GpsWeekTime gps_week_time(double gps_seconds) {
    const double since = gps_seconds - gps_week_zero;
    const double week = std::floor(since / seconds_per_week);
    return {static_cast<int>(week), since - week * seconds_per_week};
}

int leap_seconds_at_utc(double utc_seconds) {
    int leap = 0;
    for (const LeapStep& step : leap_steps) {
        if (utc_seconds >= calendar_seconds(step.year, step.month, step.day, 0, 0, 0)) leap = step.gps_minus_utc;
    }
    return leap;
}

int leap_seconds_at_gps(double gps_seconds) {
    // A step happens at UTC midnight, which is that many seconds later in GPS time.
    int leap = 0;
    for (const LeapStep& step : leap_steps) {
        if (gps_seconds >= calendar_seconds(step.year, step.month, step.day, 0, 0, 0) + step.gps_minus_utc)
            leap = step.gps_minus_utc;
    }
    return leap;
}

double gps_of_utc(double utc_seconds, int file_leap_seconds) {
    return utc_seconds + (file_leap_seconds >= 0 ? file_leap_seconds : leap_seconds_at_utc(utc_seconds));
}

double utc_of_gps(double gps_seconds, int file_leap_seconds) {
    return gps_seconds - (file_leap_seconds >= 0 ? file_leap_seconds : leap_seconds_at_gps(gps_seconds));
}

}  // namespace orbits
