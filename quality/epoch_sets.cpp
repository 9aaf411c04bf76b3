#include "quality/epoch_sets.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>

#include "obsdb/observation_walk.h"

int SatelliteNumbers::number_of(long sat_ref) {
    return by_ref_.try_emplace(sat_ref, static_cast<int>(by_ref_.size())).first->second;
}

bool OccupationEpochs::has(std::size_t epoch, int satellite) const {
    const std::size_t word = static_cast<std::size_t>(satellite / 64);
    if (satellite < 0 || word >= static_cast<std::size_t>(words)) return false;
    return (sets[epoch * static_cast<std::size_t>(words) + word] >> (satellite % 64) & 1) != 0;
}

// The satellites of an epoch come in the same order epoch after epoch, so
// the one after the previous is tried before the map.
int EpochCollector::local_of(std::int32_t satocc_ref) {
    const std::size_t next = static_cast<std::size_t>(last_local_ + 1);
    if (next < satoccs_.size() && satoccs_[next] == satocc_ref) return ++last_local_;
    const auto [at, added] = local_.try_emplace(satocc_ref, static_cast<int>(satoccs_.size()));
    if (added) satoccs_.push_back(satocc_ref);
    return last_local_ = at->second;
}

// Gives every epoch `words` words, keeping the bits already set.
void EpochCollector::widen(int words) {
    OccupationEpochs& e = *into_;
    const std::size_t old_words = static_cast<std::size_t>(e.words);
    std::vector<std::uint64_t> wider(e.epochs.size() * static_cast<std::size_t>(words), 0);
    for (std::size_t i = 0; i < e.epochs.size(); ++i)
        std::copy_n(e.sets.begin() + static_cast<long>(i * old_words), old_words,
                    wider.begin() + static_cast<long>(i * static_cast<std::size_t>(words)));
    e.sets = std::move(wider);
    e.words = words;
}

void EpochCollector::observed(const obs_record& observation) {
    OccupationEpochs& e = *into_;
    // Copied out of the packed record, whose doubles lie unaligned.
    const double t = observation.epoch;
    if (!std::isfinite(t)) return;  // a damaged record: no epoch to match
    const int local = local_of(observation.satocc_ref);
    if (e.words == 0) e.words = 1;
    if (e.epochs.empty() || e.epochs.back() != t) {
        e.epochs.push_back(t);
        e.sets.resize(e.sets.size() + static_cast<std::size_t>(e.words), 0);
    }
    const double l1 = observation.obs[OBS_L1].value;
    if (!std::isfinite(l1) || l1 == 0) return;  // no L1 phase (or none a receiver measures)
    if (local / 64 >= e.words) widen(local / 64 + 1);
    e.sets[(e.epochs.size() - 1) * static_cast<std::size_t>(e.words) +
           static_cast<std::size_t>(local / 64)] |= std::uint64_t{1} << (local % 64);
}

void EpochCollector::finish(Campaign& c, SatelliteNumbers& numbers) {
    OccupationEpochs& e = *into_;
    // Local satellite index -> campaign satellite, -1 where the satellite
    // occupation cannot be read.
    std::vector<int> global(satoccs_.size(), -1);
    int top = -1;
    for (std::size_t i = 0; i < satoccs_.size(); ++i) {
        if (satoccs_[i] <= 0 || db_read(&c.satocc_db, satoccs_[i]) != satoccs_[i]) continue;
        global[i] = numbers.number_of(c.satocc.sat_ref);
        top = std::max(top, global[i]);
    }
    const std::size_t words = static_cast<std::size_t>(top / 64 + 1);
    const std::size_t old_words = static_cast<std::size_t>(e.words);
    // Epochs in time order; one stored twice has its sets joined.
    std::vector<std::size_t> order(e.epochs.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    if (!std::is_sorted(e.epochs.begin(), e.epochs.end()))
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return e.epochs[a] < e.epochs[b]; });
    std::vector<double> epochs;
    std::vector<std::uint64_t> sets;
    epochs.reserve(e.epochs.size());
    sets.reserve(e.epochs.size() * words);
    for (std::size_t i : order) {
        if (epochs.empty() || epochs.back() != e.epochs[i]) {
            epochs.push_back(e.epochs[i]);
            sets.resize(sets.size() + words, 0);
        }
        std::uint64_t* to = &sets[sets.size() - words];
        for (std::size_t w = 0; w < old_words; ++w) {
            std::uint64_t bits = e.sets[i * old_words + w];
            while (bits != 0) {
                const int local = static_cast<int>(w * 64) + std::countr_zero(bits);
                bits &= bits - 1;
                const int n = global[static_cast<std::size_t>(local)];
                if (n >= 0) to[n / 64] |= std::uint64_t{1} << (n % 64);
            }
        }
    }
    e.epochs = std::move(epochs);
    e.sets = std::move(sets);
    e.words = e.epochs.empty() ? 0 : static_cast<int>(words);
    if (!e.epochs.empty()) {
        e.first = e.epochs.front();
        e.last = e.epochs.back();
    }
}

void collect_epochs(Campaign& c, SatelliteNumbers& numbers, OccupationEpochs* into) {
    EpochCollector collector(into);
    std::unordered_map<std::int32_t, bool> ours;  // zzSATOCC record -> of this occupation
    ObservationWalk walk(c);
    if (walk.start(into->occupation)) {
        do {
            const std::int32_t satocc = c.obs.satocc_ref;
            auto [at, added] = ours.try_emplace(satocc, false);
            if (added)
                at->second = satocc > 0 && db_read(&c.satocc_db, satocc) == satocc &&
                             c.satocc.occ_ref == into->occupation;
            if (!at->second) break;  // the next occupation's observations
            collector.observed(c.obs);
        } while (walk.next());
    }
    collector.finish(c, numbers);
}
