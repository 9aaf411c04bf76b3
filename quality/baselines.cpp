#include "quality/baselines.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <set>

#include "quality/quality_report.h"

namespace {

bool spans_overlap(const OccupationEpochs& a, const OccupationEpochs& b) {
    if (a.first < 0 || b.first < 0) return false;  // no span known
    return a.first <= b.last + same_epoch_tolerance && b.first <= a.last + same_epoch_tolerance;
}

std::string label(const OccupationEpochs& o) {
    return o.station_name + " " + std::to_string(o.number);
}

}  // namespace

Baseline common_of(const OccupationEpochs& a, const OccupationEpochs& b) {
    Baseline r;
    const std::size_t words = static_cast<std::size_t>(std::min(a.words, b.words));
    std::vector<std::uint64_t> seen(words, 0);  // satellites common at some epoch
    std::size_t i = 0, j = 0;
    while (i < a.epochs.size() && j < b.epochs.size()) {
        const double d = a.epochs[i] - b.epochs[j];
        if (d < -same_epoch_tolerance) {
            ++i;
            continue;
        }
        if (d > same_epoch_tolerance) {
            ++j;
            continue;
        }
        if (r.epochs++ == 0) r.first = a.epochs[i];
        r.last = a.epochs[i];
        int common = 0;
        for (std::size_t w = 0; w < words; ++w) {
            const std::uint64_t both = a.sets[i * static_cast<std::size_t>(a.words) + w] &
                                       b.sets[j * static_cast<std::size_t>(b.words) + w];
            common += std::popcount(both);
            seen[w] |= both;
        }
        r.satellite_epochs += common;
        if (common >= 4) ++r.epochs_4;
        ++i;
        ++j;
    }
    for (std::uint64_t w : seen) r.satellites += std::popcount(w);
    if (a.has_position && b.has_position) {
        r.has_distance = true;
        r.distance = std::hypot(a.position[0] - b.position[0], a.position[1] - b.position[1],
                                a.position[2] - b.position[2]);
    }
    return r;
}

std::vector<Baseline> baselines_of(const std::vector<OccupationEpochs>& occupations) {
    // By first epoch, so that each occupation is compared only with those
    // that begin before it ends.
    std::vector<std::size_t> by_start(occupations.size());
    std::iota(by_start.begin(), by_start.end(), std::size_t{0});
    std::stable_sort(by_start.begin(), by_start.end(), [&](std::size_t x, std::size_t y) {
        return occupations[x].first < occupations[y].first;
    });
    std::vector<Baseline> rows;
    for (std::size_t p = 0; p < by_start.size(); ++p) {
        const OccupationEpochs& x = occupations[by_start[p]];
        if (x.first < 0) continue;
        for (std::size_t q = p + 1; q < by_start.size(); ++q) {
            const OccupationEpochs& y = occupations[by_start[q]];
            if (y.first > x.last + same_epoch_tolerance) break;
            if (x.station == y.station || !spans_overlap(x, y)) continue;
            const std::size_t a = std::min(by_start[p], by_start[q]);
            const std::size_t b = std::max(by_start[p], by_start[q]);
            Baseline row = common_of(occupations[a], occupations[b]);
            row.a = a;
            row.b = b;
            rows.push_back(row);
        }
    }
    std::sort(rows.begin(), rows.end(), [](const Baseline& x, const Baseline& y) {
        return x.a != y.a ? x.a < y.a : x.b < y.b;
    });
    return rows;
}

const char baselines_csv_header[] =
    "station_a,occupation_a,station_b,occupation_b,first_common_epoch,last_common_epoch,common_s,"
    "common_epochs,common_satellites,mean_common_per_epoch,share_4_or_more,distance_m\n";

std::string baseline_csv_row(const std::vector<OccupationEpochs>& occupations, const Baseline& b) {
    const OccupationEpochs& x = occupations[b.a];
    const OccupationEpochs& y = occupations[b.b];
    std::string row = csv_field(x.station_name) + ',' + std::to_string(x.number) + ',' +
                      csv_field(y.station_name) + ',' + std::to_string(y.number) + ',';
    if (b.epochs > 0) {
        const double n = static_cast<double>(b.epochs);
        row += iso_epoch(b.first) + ',' + iso_epoch(b.last) + ',' +
               plain_number(b.last - b.first, 3) + ',' + std::to_string(b.epochs) + ',' +
               std::to_string(b.satellites) + ',' +
               plain_number(static_cast<double>(b.satellite_epochs) / n, 2) + ',' +
               plain_number(static_cast<double>(b.epochs_4) / n, 3) + ',';
    } else {
        row += ",,,0,0,,,";
    }
    row += b.has_distance ? plain_number(b.distance, 3) : std::string();
    return row + '\n';
}

std::string baselines_summary(const std::vector<OccupationEpochs>& occupations,
                              const std::vector<Baseline>& baselines) {
    std::set<long> stations;
    for (const OccupationEpochs& o : occupations) stations.insert(o.station);
    char text[400];
    std::snprintf(text, sizeof text, "baselines: %zu station%s, %zu occupation%s, %zu baseline%s",
                  stations.size(), stations.size() == 1 ? "" : "s", occupations.size(),
                  occupations.size() == 1 ? "" : "s", baselines.size(),
                  baselines.size() == 1 ? "" : "s");
    std::string line = text;
    const Baseline* shortest = nullptr;
    for (const Baseline& b : baselines) {
        const double length = b.epochs > 0 ? b.last - b.first : 0;
        if (!shortest || length < (shortest->epochs > 0 ? shortest->last - shortest->first : 0))
            shortest = &b;
    }
    if (shortest) {
        line += ", the shortest " + label(occupations[shortest->a]) + " - " +
                label(occupations[shortest->b]) + " (" +
                plain_number(shortest->epochs > 0 ? shortest->last - shortest->first : 0, 3) +
                " s in common)";
    }
    return line + '\n';
}
