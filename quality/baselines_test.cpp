// Pairs of occupations made by hand: epochs matched within the tolerance,
// satellites beyond the first word of a set, sets of different widths.
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "quality/baselines.h"

namespace {

// An occupation whose epochs t0, t0 + 30, ... hold the satellites listed.
OccupationEpochs occupation(long station, double t0, std::initializer_list<std::vector<int>> epochs,
                            int words) {
    OccupationEpochs o;
    o.station = station;
    o.words = words;
    double t = t0;
    for (const std::vector<int>& sats : epochs) {
        o.epochs.push_back(t);
        o.sets.resize(o.sets.size() + static_cast<std::size_t>(words), 0);
        for (int s : sats)
            o.sets[o.sets.size() - static_cast<std::size_t>(words) +
                   static_cast<std::size_t>(s / 64)] |= std::uint64_t{1} << (s % 64);
        t += 30;
    }
    o.first = o.epochs.front();
    o.last = o.epochs.back();
    return o;
}

TEST(Baselines, CommonEpochsAndSatellites) {
    const std::vector<int> four = {1, 2, 3, 4}, high = {1, 70, 130, 140};
    struct Case {
        const char* what;
        OccupationEpochs a, b;
        long epochs;
        int satellites;
        long satellite_epochs, epochs_4;
        double first;
    };
    const Case cases[] = {
        {"same epochs, same sets", occupation(1, 0, {four, four}, 1),
         occupation(2, 0, {four, four}, 1), 2, 4, 8, 2, 0},
        {"tags 40 ms apart are the same epoch", occupation(1, 0, {four}, 1),
         occupation(2, 0.04, {four}, 1), 1, 4, 4, 1, 0},
        {"tags 60 ms apart are not", occupation(1, 0, {four}, 1), occupation(2, 0.06, {four}, 1), 0,
         0, 0, 0, -1},
        {"shifted by an epoch", occupation(1, 0, {{1, 2}, {1, 2, 3}, {5}}, 1),
         occupation(2, 30, {{2, 3}, {5, 6}, {7}}, 1), 2, 3, 3, 0, 30},
        {"satellites past the first word", occupation(1, 0, {high}, 3), occupation(2, 0, {high}, 3),
         1, 4, 4, 1, 0},
        {"a narrower set meets a wider one", occupation(1, 0, {{1, 2, 3, 4}}, 1),
         occupation(2, 0, {{1, 2, 70}}, 2), 1, 2, 2, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Baseline b = common_of(c.a, c.b);
        EXPECT_EQ(b.epochs, c.epochs);
        EXPECT_EQ(b.satellites, c.satellites);
        EXPECT_EQ(b.satellite_epochs, c.satellite_epochs);
        EXPECT_EQ(b.epochs_4, c.epochs_4);
        EXPECT_EQ(b.first, c.first);
        EXPECT_FALSE(b.has_distance);
    }
}

// Pairs of different stations whose spans overlap, in report order; a
// station's own occupations and spans that only come near are left out.
TEST(Baselines, PairsOfOverlappingSpans) {
    std::vector<OccupationEpochs> o = {
        occupation(1, 1000, {{1}, {1}}, 1),  // 1000-1030
        occupation(2, 0, {{1}, {1}}, 1),     // 0-30
        occupation(1, 20, {{1}}, 1),         // 20: the same station as the first
        occupation(3, 15, {{1}, {1}}, 1),    // 15-45
        occupation(3, 1031, {{1}}, 1),       // 1031: a second after the first ends
    };
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    for (const Baseline& b : baselines_of(o)) pairs.push_back({b.a, b.b});
    const std::vector<std::pair<std::size_t, std::size_t>> expected = {{1, 2}, {1, 3}, {2, 3}};
    EXPECT_EQ(pairs, expected);
}

}  // namespace
