#include "orbits/atmosphere.h"

#include <cmath>
#include <numbers>

#include "orbits/frequencies.h"
#include "orbits/time_scales.h"

namespace orbits {

double klobuchar_delay(const KlobucharParameters& k, double latitude, double longitude, double azimuth,
                       double elevation, double gps_seconds) {
    if (!k.known || elevation <= 0) return 0;
    constexpr double pi = std::numbers::pi;
    // Angles in semicircles, as the model's coefficients expect.
    const double el = elevation / pi;
    const double psi = 0.0137 / (el + 0.11) - 0.022;  // Earth angle to the pierce point
    double phi_i = latitude / pi + psi * std::cos(azimuth);
    if (phi_i > 0.416) phi_i = 0.416;
    if (phi_i < -0.416) phi_i = -0.416;
    const double lambda_i = longitude / pi + psi * std::sin(azimuth) / std::cos(phi_i * pi);
    const double phi_m = phi_i + 0.064 * std::cos((lambda_i - 1.617) * pi);
    double local = 43200.0 * lambda_i + gps_week_time(gps_seconds).seconds;
    local = std::fmod(local, 86400.0);
    if (local < 0) local += 86400.0;
    const double slant = 1.0 + 16.0 * std::pow(0.53 - el, 3);
    double amplitude = k.alpha[0] + phi_m * (k.alpha[1] + phi_m * (k.alpha[2] + phi_m * k.alpha[3]));
    double period = k.beta[0] + phi_m * (k.beta[1] + phi_m * (k.beta[2] + phi_m * k.beta[3]));
    if (amplitude < 0) amplitude = 0;
    if (period < 72000.0) period = 72000.0;
    const double x = 2.0 * pi * (local - 50400.0) / period;
    double delay = 5.0e-9;
    if (std::fabs(x) < 1.57) delay += amplitude * (1.0 - x * x / 2.0 + x * x * x * x / 24.0);
    return speed_of_light * slant * delay;
}

double troposphere_delay(double latitude, double height, double elevation) {
    if (height < -500.0 || height > 1.0e4 || elevation <= 0) return 0;
    const double pressure = 1013.25 * std::pow(1.0 - 2.2557e-5 * height, 5.2568);  // hPa
    const double temperature = 15.0 - 6.5e-3 * height + 273.15;                    // K
    const double vapour = 6.108 * 0.7 * std::exp((17.15 * temperature - 4684.0) / (temperature - 38.45));
    const double zenith = std::numbers::pi / 2 - elevation;
    const double hydrostatic = 0.0022768 * pressure /
                               (1.0 - 0.00266 * std::cos(2.0 * latitude) - 0.00028 * height / 1000.0) /
                               std::cos(zenith);
    const double wet = 0.002277 * (1255.0 / temperature + 0.05) * vapour / std::cos(zenith);
    return hydrostatic + wet;
}

}  // namespace orbits
