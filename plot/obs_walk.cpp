#include "plot/obs_walk.h"

#include <algorithm>

namespace {

// Observation records lie at k * record size for k = 1 to count, and the
// observations of one occupation are stored together in reading order, with
// occupations numbered in reading order too. So the occupation of record k
// never decreases with k, and its first observation can be found by halving
// over k instead of walking the observations of every earlier occupation.

constexpr long obs_size = sizeof(obs_record);

bool obs_readable(Campaign& c, long k) { return db_read(&c.obs_db, k * obs_size) == k * obs_size; }

// Number of whole observation records: doubling, then halving on readability.
long obs_count(Campaign& c) {
    long high = 1;
    while (obs_readable(c, high)) high *= 2;
    long low = high / 2;  // readable, or 0
    while (high - low > 1) {
        const long mid = low + (high - low) / 2;
        (obs_readable(c, mid) ? low : high) = mid;
    }
    return low;
}

// The occupation of observation record k through its satellite occupation,
// or -1 when the record or its link cannot be read.
long occupation_at(Campaign& c, long k) {
    if (!obs_readable(c, k)) return -1;
    const long satocc = c.obs.satocc_ref;
    if (satocc <= 0 || db_read(&c.satocc_db, satocc) != satocc) return -1;
    return c.satocc.occ_ref;
}

enum class search_result { found, none, unsure };

// Halves over the observation records for the first one of `occupation` and
// positions the zzOBS index on it. `unsure` when a record met on the way
// cannot be followed to its occupation, or the order the search relies on
// does not hold around the result; the caller then walks instead.
search_result seek_first_observation(Campaign& c, long occupation) {
    const long count = obs_count(c);
    if (count == 0) return search_result::none;
    // Every record looked at, by position: the order the search relies on
    // must hold among them, or the walk decides.
    struct probe {
        long k;
        long at;
    };
    probe probes[80];
    int probed = 0;
    auto look = [&](long k) {
        const long at = occupation_at(c, k);
        probes[probed++] = {k, at};
        return at;
    };
    if (look(1) < 0 || look(count) < 0) return search_result::unsure;
    long low = 1, high = count + 1;  // the answer lies in [low, high]
    while (low < high) {
        const long mid = low + (high - low) / 2;
        const long at = look(mid);
        if (at < 0) return search_result::unsure;
        if (at < occupation)
            low = mid + 1;
        else
            high = mid;
    }
    if (low <= count && look(low) < 0) return search_result::unsure;
    if (low > 1 && look(low - 1) < 0) return search_result::unsure;
    std::sort(probes, probes + probed, [](const probe& a, const probe& b) { return a.k < b.k; });
    for (int i = 1; i < probed; ++i)
        if (probes[i].at < probes[i - 1].at) return search_result::unsure;
    if (low > count || occupation_at(c, low) != occupation) return search_result::none;

    char key[record_key_size];
    const long number = low * obs_size;
    record_number_key(key, number);
    if (!db_find(&c.obs_db, key) || db_current_record(&c.obs_db) != number ||
        db_read(&c.obs_db, number) != number)
        return search_result::unsure;
    return search_result::found;
}

}  // namespace

bool next_obs(Campaign& c) {
    const long r = db_next(&c.obs_db);
    if (r == 0) return false;
    c.read_checked(CampaignTable::obs, r);
    return true;
}

bool find_first_epoch(Campaign& c, const sv_rows& rows, double begin) {
    bool have = false;
    switch (seek_first_observation(c, rows.occupation)) {
    case search_result::found: have = true; break;
    case search_result::none: return false;
    case search_result::unsure: {
        const long r = db_first(&c.obs_db);
        have = r != 0;
        if (have) c.read_checked(CampaignTable::obs, r);
        while (have && rows.slot_of(c.obs.satocc_ref) == 0) have = next_obs(c);
        break;
    }
    }
    while (have && c.obs.epoch < begin) have = next_obs(c);
    return have;
}
