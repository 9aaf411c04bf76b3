// Occupations with chosen observations for the plot tests: the station,
// receiver, antenna, occupation and satellite records go in through
// CampaignFill, the observations (with their S/N and loss-of-lock
// characters) through the observation table's own handle.
#pragma once

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "obsdb/campaign.h"
#include "tests/testkit/campaign_fill.h"

namespace plottest {

// One observation: satellite index (0 = first satellite of the occupation),
// seconds after the occupation's start, S/N and loss-of-lock characters.
struct Obs {
    int sat;
    double at;
    char l1_snr;
    char l2_snr;
    char l1_lli = ' ';
    char l2_lli = ' ';
    std::int32_t satocc_override = 0;  // stored instead of the real link when not 0
};

struct OccSetup {
    const char* station = "TP27";
    double start = 0;  // time value of the first epoch
    int interval = 0;
    int satellites = 1;
    double x = 4449541.1, y = 723423.5, z = 4497127.0;
    std::vector<std::string> names;  // of the satellites; "G01", "G02", ... when empty
    std::vector<Obs> obs;
};

struct Made {
    long occupation;
    std::vector<long> satocc;  // record numbers, by satellite index
};

// A satellite identifier: system letter and two digits, "G05".
inline std::string satellite_id(char system, int number) {
    char id[16];
    std::snprintf(id, sizeof id, "%c%02d", system, number);
    return id;
}

inline void append_observations(const OccSetup& setup, const Made& made) {
    Campaign c;
    c.open_fill({CampaignTable::obs});
    obs_record& obs = c.obs;
    for (const Obs& o : setup.obs) {
        std::memset(&obs, 0, sizeof obs);
        obs.satocc_ref =
            o.satocc_override != 0
                ? o.satocc_override
                : static_cast<std::int32_t>(made.satocc.at(static_cast<std::size_t>(o.sat)));
        obs.epoch = setup.start + o.at;
        for (obs_value& v : obs.obs) v.lli = v.snr = ' ';
        obs.obs[OBS_L1] = {1.0, o.l1_lli, o.l1_snr, {0, 0}};
        obs.obs[OBS_L2] = {2.0, o.l2_lli, o.l2_snr, {0, 0}};
        long number = db_append(&c.obs_db, &obs);
        char key[record_key_size];
        record_number_key(key, number);
        db_key_insert(c.obs_db.current_index, key, number);
    }
    c.close({CampaignTable::obs});
}

// Adds occupations in order to the database of the current folder, sharing
// one receiver and one antenna; stations of the same name are one record.
// The observations follow, occupation by occupation, in reading order or in
// the order of the indexes `observation_order` names.
inline std::vector<Made> add_occupations(const std::vector<OccSetup>& setups,
                                         const std::vector<std::size_t>& observation_order = {}) {
    std::vector<Made> made;
    {
        testkit::CampaignFill fill;
        long rcv = fill.receiver("R100", "TRIMBLE 4000SST");
        long ant = fill.antenna("A200", "TRM22020.00+GP");
        std::vector<std::pair<std::string, long>> stations;
        std::map<std::string, long> sats;  // satellite records by name
        for (const OccSetup& setup : setups) {
            long sta = 0;
            for (const auto& [name, number] : stations)
                if (name == setup.station) sta = number;
            if (sta == 0) {
                sta = fill.station(setup.station);
                stations.emplace_back(setup.station, sta);
            }
            occ_record& occ = fill.next_occupation();
            occ.interval = setup.interval;
            occ.delta_h = 1.5;
            double last = setup.start;
            for (const Obs& o : setup.obs)
                if (setup.start + o.at > last) last = setup.start + o.at;
            occ.first_epoch = setup.start;
            occ.last_epoch = last;
            std::snprintf(occ.rinex_file, sizeof occ.rinex_file, "%s0010.21o", setup.station);
            Made m{fill.occupation(sta, rcv, ant, setup.x, setup.y, setup.z), {}};
            for (int i = 0; i < setup.satellites; ++i) {
                const std::string name = i < static_cast<int>(setup.names.size())
                                             ? setup.names[static_cast<std::size_t>(i)]
                                             : satellite_id('G', i + 1);
                auto known = sats.find(name);
                if (known == sats.end())
                    known = sats.emplace(name, fill.satellite(name.c_str())).first;
                m.satocc.push_back(fill.satellite_occupation(known->second, m.occupation));
            }
            made.push_back(m);
        }
    }
    if (observation_order.empty())
        for (std::size_t i = 0; i < setups.size(); ++i) append_observations(setups[i], made[i]);
    for (std::size_t i : observation_order) append_observations(setups.at(i), made.at(i));
    return made;
}

// Observations of `sats` satellites at every `step` seconds from 0 to
// `last`, all with the same S/N digit on L1 and L2.
inline std::vector<Obs> steady(int sats, double step, double last, char snr) {
    std::vector<Obs> obs;
    for (double at = 0; at <= last; at += step)
        for (int s = 0; s < sats; ++s) obs.push_back({s, at, snr, snr});
    return obs;
}

}  // namespace plottest
