#include "obsdb/observation_walk.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

constexpr long obs_size = sizeof(obs_record);

// The occupation of observation record k, or -1 when the record or its
// satellite occupation cannot be read.
long occupation_of_record(Campaign& c, long k) {
    if (db_read(&c.obs_db, k * obs_size) != k * obs_size) return -1;
    const long satocc = c.obs.satocc_ref;
    if (satocc <= 0 || db_read(&c.satocc_db, satocc) != satocc) return -1;
    return c.satocc.occ_ref;
}

long record_count(const Campaign& c) {
    std::error_code error;
    const auto size = std::filesystem::file_size(db_file_name(&c.obs_db), error);
    return error ? 0 : static_cast<long>(size / obs_size) - 1;
}

enum class Found { yes, no, unsure };

Found halve(Campaign& c, long occupation, long* first) {
    const long count = record_count(c);
    if (count <= 0) return Found::no;
    struct Probe {
        long k, occupation;
    };
    Probe probes[128];
    int n = 0;
    auto look = [&](long k) {
        const long at = occupation_of_record(c, k);
        if (n < 128) probes[n++] = {k, at};
        return at;
    };
    if (look(1) < 0 || look(count) < 0) return Found::unsure;
    // The first record at or after `occupation` lies in [low, high].
    long low = 1, high = count + 1;
    while (low < high) {
        const long mid = low + (high - low) / 2;
        const long at = look(mid);
        if (at < 0) return Found::unsure;
        if (at < occupation)
            low = mid + 1;
        else
            high = mid;
    }
    if (low > 1 && look(low - 1) < 0) return Found::unsure;
    const long at = low <= count ? look(low) : -2;
    if (at == -1) return Found::unsure;
    std::sort(probes, probes + n, [](const Probe& a, const Probe& b) { return a.k < b.k; });
    for (int i = 1; i < n; ++i)
        if (probes[i].occupation < probes[i - 1].occupation) return Found::unsure;
    if (at != occupation) return Found::no;
    *first = low;
    return Found::yes;
}

}  // namespace

bool ObservationWalk::start(long occupation) {
    by_number_ = false;
    if (!c_.obs_db.current_index) return false;  // the campaign has no observation table
    long first = 0;
    switch (halve(c_, occupation, &first)) {
    case Found::no: return false;
    case Found::yes: {
        char key[record_key_size];
        const long number = first * obs_size;
        record_number_key(key, number);
        if (db_find(&c_.obs_db, key) && db_current_record(&c_.obs_db) == number &&
            db_read(&c_.obs_db, number) == number) {
            number_ = number;
            by_number_ = true;
            return true;
        }
        break;
    }
    case Found::unsure: break;
    }
    for (long r = db_first(&c_.obs_db); r != 0; r = db_next(&c_.obs_db)) {
        c_.read_checked(CampaignTable::obs, r);
        const long satocc = c_.obs.satocc_ref;
        if (satocc > 0 && db_read(&c_.satocc_db, satocc) == satocc &&
            c_.satocc.occ_ref == occupation) {
            number_ = r;
            return true;
        }
    }
    return false;
}

bool ObservationWalk::next() {
    if (by_number_) {
        number_ += obs_size;
        if (db_read(&c_.obs_db, number_) == number_) return true;
        // Past the end of the file: the end of the table, unless the index
        // still holds the record, which the file has then lost; that is
        // reported as a damaged record, as the walk through the index would.
        char key[record_key_size];
        record_number_key(key, number_);
        if (!db_find(&c_.obs_db, key) || db_current_record(&c_.obs_db) != number_) return false;
        c_.read_checked(CampaignTable::obs, number_);
        return true;
    }
    number_ = db_next(&c_.obs_db);
    if (number_ == 0) return false;
    c_.read_checked(CampaignTable::obs, number_);
    return true;
}
