// Time scales of the satellite systems. Every time in this module is a count
// of seconds since 1970-01-01 00:00 of a calendar, counted without leap
// seconds (as timegm counts): "GPS seconds" count the GPS calendar, "UTC
// seconds" the UTC calendar, and the ephemerides' epochs count the calendar
// of their system's own time as written in the navigation file.
#pragma once

#include <limits>

namespace orbits {

inline constexpr double seconds_per_week = 604800.0;
// 1980-01-06 00:00, the start of GPS week 0, in GPS seconds.
inline constexpr double gps_week_zero = 315964800.0;
// BeiDou time runs 14 s behind GPS time; Galileo time runs with it.
inline constexpr double bdt_behind_gps = 14.0;

// Seconds since 1970 of a calendar date and time, without leap seconds
// (months from 1).
double calendar_seconds(int year, int month, int day, int hour, int minute, double seconds);

// A campaign's observation epoch (a time value: its calendar, the receiver's
// GPS time, read as local time by mktime, plus the seconds) as GPS seconds:
// the whole seconds go back through localtime to the calendar they came
// from, which is then counted without time zone.
double gps_seconds_of_time_value(double time_value);
// The inverse: the time value whose calendar is that of `gps_seconds`.
double time_value_of_gps_seconds(double gps_seconds);

// gps_seconds_of_time_value for a walk over epochs: the time zone's offset
// is kept for a quarter hour of time values (every zone's clocks change at
// whole quarter hours), so that the C library is asked once in 900 s rather
// than at every epoch.
class TimeValueClock {
public:
    double gps(double time_value);

private:
    double from_ = std::numeric_limits<double>::quiet_NaN();
    double offset_ = 0;
};

struct GpsWeekTime {
    int week;        // weeks since 1980-01-06
    double seconds;  // seconds into the week, 0 to below 604800
};
GpsWeekTime gps_week_time(double gps_seconds);

inline double bdt_of_gps(double gps_seconds) { return gps_seconds - bdt_behind_gps; }
inline double gps_of_bdt(double bdt_seconds) { return bdt_seconds + bdt_behind_gps; }

// GPS time minus UTC (the leap seconds since 1980) at a UTC time, from the
// table of leap seconds known to this program: 18 s since 2017. Before
// 1980-01-06 it is 0.
int leap_seconds_at_utc(double utc_seconds);
// The same at a GPS time.
int leap_seconds_at_gps(double gps_seconds);

// UTC to GPS seconds and back. `file_leap_seconds` is the LEAP SECONDS of a
// navigation file's header, which is used instead of the table where it is
// given (0 or more); a negative value means the file gives none.
double gps_of_utc(double utc_seconds, int file_leap_seconds = -1);
double utc_of_gps(double gps_seconds, int file_leap_seconds = -1);

}  // namespace orbits
