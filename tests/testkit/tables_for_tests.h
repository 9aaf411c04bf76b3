// Test helpers: the records of a campaign table as they lie in its record
// file, and the keys of its index in key order.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "obsdb/campaign.h"
#include "tests/testkit/testkit.h"

namespace tables {

// The records of `table` in folder `dir`, read from the bytes of its record
// file (the placeholder record 0 left out).
template <class Record>
std::vector<Record> records(const std::string& dir, const char* table) {
    const std::string bytes = testkit::read_file(dir + "/" + table + ".DAT");
    std::vector<Record> out;
    for (std::size_t at = sizeof(Record); at + sizeof(Record) <= bytes.size();
         at += sizeof(Record)) {
        Record record;
        std::memcpy(&record, bytes.data() + at, sizeof record);
        out.push_back(record);
    }
    return out;
}

// The record with number `number` (a byte offset) of `list` as read by records().
template <class Record>
const Record& at(const std::vector<Record>& list, long number) {
    return list.at(static_cast<std::size_t>(number) / sizeof(Record) - 1);
}

// The keys of the index of campaign table `table` in folder `dir`, in key
// order, each with its record number.
inline std::vector<std::pair<std::string, long>> keys(const std::string& dir, CampaignTable table) {
    testkit::InDir in(dir);
    Campaign c;
    c.open_read({table});
    DbHandle* db = &c.handle(table);
    std::vector<std::pair<std::string, long>> out;
    for (long number = db_first(db); number != 0; number = db_next(db))
        out.emplace_back(db_current_key(db), number);
    c.close({table});
    return out;
}

// Local calendar fields of a time value, as "YYYY-MM-DD hh:mm:ss".
inline std::string local_text(double time) {
    const std::time_t seconds = static_cast<std::time_t>(time);
    std::tm fields{};
    localtime_r(&seconds, &fields);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &fields);
    return text;
}

// One stored observation with its satellite's identifier.
struct Observation {
    std::string prn;
    double epoch;
    obs_value obs[OBS_SLOTS];
};

// The observations of zzOBS in folder `dir` in the order they were written,
// each with its satellite's identifier.
inline std::vector<Observation> stored_observations(const std::string& dir) {
    const auto sats = records<sat_record>(dir, table_sat);
    const auto satoccs = records<satocc_record>(dir, table_satocc);
    std::vector<Observation> out;
    for (const obs_record& r : records<obs_record>(dir, table_obs)) {
        Observation o{at(sats, at(satoccs, r.satocc_ref).sat_ref).prn, r.epoch, {}};
        std::copy(r.obs, r.obs + OBS_SLOTS, o.obs);
        out.push_back(o);
    }
    return out;
}

// Whether `got` holds the observations of `expected`, record by record: the
// satellite, the epoch, and per slot the value, the loss-of-lock flag and the
// signal strength (an expected strength of '?' takes any). Names the first
// record that differs.
inline testing::AssertionResult same_observations(const std::vector<Observation>& got,
                                                  const std::vector<Observation>& expected) {
    if (got.size() != expected.size())
        return testing::AssertionFailure()
               << got.size() << " observations stored, " << expected.size() << " expected";
    for (std::size_t i = 0; i < got.size(); ++i) {
        if (got[i].prn != expected[i].prn || got[i].epoch != expected[i].epoch)
            return testing::AssertionFailure()
                   << "observation " << i << ": " << got[i].prn << " at " << got[i].epoch
                   << ", expected " << expected[i].prn << " at " << expected[i].epoch;
        for (int s = 0; s < OBS_SLOTS; ++s) {
            const obs_value& a = got[i].obs[s];
            const obs_value& b = expected[i].obs[s];
            const double value = a.value;
            const double wanted = b.value;
            if (value != wanted || a.lli != b.lli || (b.snr != '?' && a.snr != b.snr))
                return testing::AssertionFailure()
                       << "observation " << i << " slot " << s << ": " << value << " '" << a.lli
                       << "' '" << a.snr << "', expected " << wanted << " '" << b.lli << "' '"
                       << b.snr << "'";
        }
    }
    return testing::AssertionSuccess();
}

}  // namespace tables
