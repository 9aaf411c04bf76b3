// The cost of a satellite position: evaluated directly from the broadcast
// elements (Kepler, GLONASS integration) against the interpolated track, on
// a walk at 1 Hz as the quality check makes it; and a satellite's look angles
// with the Earth's rotation during the signal's travel, both ways.
#include <benchmark/benchmark.h>

#include "orbits/sky.h"
#include "orbits/test_files.h"
#include "orbits/time_scales.h"
#include "orbits/track.h"

namespace {

const orbits::EphemerisStore& day() {
    static const orbits::EphemerisStore store = orbits_test::store_of(
        orbits_test::read_nav_file(LUMERAK_TEST_DATA "/MOJN00DNK_R_20201770000_01D_MN.rnx.gz"));
    return store;
}

const double start = orbits::calendar_seconds(2020, 6, 25, 0, 0, 0);

// The systems by argument, each with its first satellite served through
// the whole first hour of the day.
const char systems[] = {'G', 'E', 'C', 'R'};
int served_prn(char system) {
    for (int prn = 1; prn <= 63; ++prn) {
        bool all = true;
        for (double t = start; t < start + 3600 && all; t += 60) all = day().serving(system, prn, t) != nullptr;
        if (all) return prn;
    }
    return 0;
}

void Direct(benchmark::State& state) {
    const char system = systems[state.range(0)];
    const int prn = served_prn(system);
    double t = start;
    for (auto _ : state) {
        const orbits::Ephemeris* eph = day().serving(system, prn, t);
        const orbits::SatelliteState s = orbits::satellite_state(*eph, t);
        benchmark::DoNotOptimize(s);
        t += 1;
        if (t >= start + 3600) t = start;
    }
    state.SetLabel(std::string(1, system) + std::to_string(prn));
}

void Track(benchmark::State& state) {
    const char system = systems[state.range(0)];
    const int prn = served_prn(system);
    orbits::SatelliteTrack track(day(), system, prn);
    double t = start;
    for (auto _ : state) {
        orbits::SatelliteState s;
        benchmark::DoNotOptimize(track.state_at(t, &s));
        benchmark::DoNotOptimize(s);
        t += 1;
        if (t >= start + 3600) t = start;
    }
    state.SetLabel(std::string(1, system) + std::to_string(prn));
}

// Look angles from a station (three positions per call for the travel time).
void SightDirect(benchmark::State& state) {
    const orbits::StationFrame station = orbits::station_frame(3516213.438, 781859.860, 5246037.966);
    double t = start;
    for (auto _ : state) {
        benchmark::DoNotOptimize(orbits::sight_satellite(day(), 'G', served_prn('G'), station, t));
        t += 1;
        if (t >= start + 3600) t = start;
    }
}

void SightTrack(benchmark::State& state) {
    const orbits::StationFrame station = orbits::station_frame(3516213.438, 781859.860, 5246037.966);
    orbits::SatelliteTrack track(day(), 'G', served_prn('G'));
    double t = start;
    for (auto _ : state) {
        benchmark::DoNotOptimize(orbits::sight_from(track, station, t));
        t += 1;
        if (t >= start + 3600) t = start;
    }
}

}  // namespace

BENCHMARK(Direct)->DenseRange(0, 3);
BENCHMARK(Track)->DenseRange(0, 3);
BENCHMARK(SightDirect);
BENCHMARK(SightTrack);

BENCHMARK_MAIN();
