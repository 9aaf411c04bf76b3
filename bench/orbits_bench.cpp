// The cost of a satellite position: evaluated directly from the broadcast
// elements (Kepler, GLONASS integration) against the interpolated track, on
// a walk at 1 Hz as the quality check makes it; a satellite's look angles
// with the Earth's rotation during the signal's travel, both ways; and one
// epoch's position from its codes.
#include <benchmark/benchmark.h>

#include <map>

#include "orbits/point_position.h"
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

// Names the benchmark's row by the satellite it computes ("G05").
void label_satellite(benchmark::State& state, char system, int prn) {
    std::string label(1, system);
    label += std::to_string(prn);
    state.SetLabel(label);
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
    label_satellite(state, system, prn);
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
    label_satellite(state, system, prn);
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

// One epoch's position from the codes of every system (KMS3, 8 June 2022,
// about 30 satellites of four systems with two codes each), started from
// the header's position as the occupation's walk would.
void SolveEpoch(benchmark::State& state) {
    const orbits_test::NavFile nav = orbits_test::read_nav_file(LUMERAK_TEST_DATA "/KMS300DNK_R_20221591000_01H_MN.rnx.gz");
    const orbits::EphemerisStore store = orbits_test::store_of(nav);
    std::map<int, int> channels;
    for (int prn = 1; prn <= 27; ++prn)
        if (!store.of_satellite('R', prn).empty()) channels[prn] = store.of_satellite('R', prn)[0].frequency_channel;
    const orbits_test::ObservationFile obs = orbits_test::read_rinex3_codes(
        LUMERAK_TEST_DATA "/KMS300DNK_R_20221591000_01H_30S_MO.crx", channels, "GRECJ");
    orbits::PositionSettings settings;
    std::size_t e = 0;
    for (auto _ : state) {
        const orbits_test::ObservationEpoch& epoch = obs.epochs[e];
        const orbits::EpochSolution s = orbits::solve_epoch({epoch.gps_seconds, epoch.codes.data(), epoch.codes.size()},
                                                            store, settings, obs.header_position);
        benchmark::DoNotOptimize(s);
        if (++e == obs.epochs.size()) e = 0;
    }
}

}  // namespace

BENCHMARK(SolveEpoch);
BENCHMARK(Direct)->DenseRange(0, 3);
BENCHMARK(Track)->DenseRange(0, 3);
BENCHMARK(SightDirect);
BENCHMARK(SightTrack);

BENCHMARK_MAIN();
