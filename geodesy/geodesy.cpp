#include "geodesy/geodesy.h"

#include <cmath>

int ell_setup(double a, double b, ell_params* ell) {
    ell->a = a;
    ell->b = b;
    ell->e2 = 1.0 - (b * b) / (a * a);
    ell->ep2 = (a * a) / (b * b) - 1.0;
    ell->c = (a * a) / b;
    return 1;
}

double axis_distance(double x, double y) { return std::sqrt(x * x + y * y); }

int xyz_to_geodetic(double x, double y, double z, ell_params ell, double* latitude,
                    double* longitude, double* height) {
    const double p = axis_distance(x, y);
    if (!(p >= 0.0)) return 0;

    const double theta = std::atan((z / p) * (ell.a / ell.b));
    const double sin_t = std::sin(theta);
    const double cos_t = std::cos(theta);
    // The two-argument forms keep the hemisphere: the latitude's denominator
    // turns negative on the polar axis, the longitude's whenever X < 0.
    const double lat = std::atan2(z + ell.ep2 * ell.b * sin_t * sin_t * sin_t,
                                  p - ell.e2 * ell.a * cos_t * cos_t * cos_t);
    const double cos_lat = std::cos(lat);
    double h;
    if (p == 0.0 && z != 0.0)
        h = std::fabs(z) - ell.b;  // p / cos(lat) is 0 / 0 in effect on the axis
    else
        h = p / cos_lat - ell.c / std::sqrt(1.0 + ell.ep2 * cos_lat * cos_lat);

    *latitude = lat;
    *longitude = std::atan2(y, x);
    *height = h;
    return 1;
}

double rad_to_dms(double angle) {
    const double inv_pi = 0.318309886183790671538;
    const double d = angle * 180.0 * inv_pi;
    const double deg = std::trunc(d);
    const double m = (d - deg) * 60.0;
    const double min = std::trunc(m);
    const double s = (m - min) * 60.0;
    return deg + (min + s * 0.01) * 0.01;
}

dms_parts dms_split(double packed, int decimals) {
    dms_parts parts{};
    if (std::isnan(packed)) {
        parts.degrees = parts.minutes = parts.seconds = packed;
        return parts;
    }
    parts.negative = packed < 0.0;
    const double a = std::fabs(packed);
    if (decimals < 0) decimals = 0;
    if (decimals > 6) decimals = 6;
    double scale = 1.0;
    for (int i = 0; i < decimals; ++i) scale *= 10.0;

    // Beyond any angle the integer image would overflow: split by floor.
    if (!(a < 1e8)) {
        parts.degrees = std::floor(a);
        parts.minutes = std::floor((a - parts.degrees) * 100.0);
        parts.seconds = (a * 100.0 - std::floor(a * 100.0)) * 100.0;
        return parts;
    }

    // The packed value as an integer DDDMMSS followed by the kept decimals.
    const long long units = std::llround(a * (1e4 * scale));
    const long long second_units = 100 * static_cast<long long>(scale);
    long long sec = units % second_units;
    long long min = (units / second_units) % 100;
    long long deg = units / (second_units * 100);
    const long long minute_units = 60 * static_cast<long long>(scale);
    if (sec >= minute_units) {
        sec -= minute_units;
        ++min;
    }
    if (min >= 60) {
        min -= 60;
        ++deg;
    }
    parts.degrees = static_cast<double>(deg);
    parts.minutes = static_cast<double>(min);
    parts.seconds = static_cast<double>(sec) / scale;
    return parts;
}

geodetic_position station_position(double x, double y, double z, const ell_params& ell) {
    geodetic_position out{false, 0.0, 0.0, 0.0};
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return out;
    if (x == 0.0 && y == 0.0 && z == 0.0) return out;
    double latitude = NAN, longitude = NAN, height = NAN;
    if (!xyz_to_geodetic(x, y, z, ell, &latitude, &longitude, &height)) return out;
    if (!std::isfinite(latitude) || !std::isfinite(longitude) || !std::isfinite(height)) return out;
    return {true, latitude, longitude, height};
}
