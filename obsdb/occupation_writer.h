// Stores one occupation, an observation file read into the campaign: at the
// end of its header the station, position, receiver and antenna with the
// occupation that links them, then per epoch its satellites and their
// observations, and at the end its first and last epoch. Whatever the file's
// format, the reader hands the parsed records here; this is the only code
// that writes the campaign tables of a read.
#pragma once

#include "obsdb/campaign.h"

class OccupationWriter {
public:
    // Writes into the tables of `tables`, whose record variables of zzSTA,
    // zzCOR, zzREC, zzANT and zzOCC the header fills. With `no_obs_data`
    // the epochs still link their satellites, but no observation is stored.
    OccupationWriter(Campaign& tables, bool no_obs_data);
    OccupationWriter(const OccupationWriter&) = delete;
    OccupationWriter& operator=(const OccupationWriter&) = delete;

    Campaign& tables() { return tables_; }
    // Record number of the occupation, once link_occupation stored it.
    long occupation_number() const { return occ_number_; }

    // Opens or creates zzSTA, zzCOR, zzANT, zzREC and zzOCC, in this order.
    void open_header_tables();

    // The occupation keeps the file's name without its folder, and the number
    // of occupations appended in this run before it.
    void set_file_name(const char* base_name);

    // At "END OF HEADER": links the station, receiver and antenna (found by
    // their keys or added), adds the position and the occupation, closes
    // those tables and opens the epoch tables.
    void link_occupation();

    // Closes what open_header_tables opened, for a file refused before its
    // occupation was stored.
    void close_unlinked();

    // Makes `time` the current epoch; the first two distinct epoch times
    // give the interval of a file without one.
    void begin_epoch(double time);

    // The satellite occupation of satellite `id` (three characters) in this
    // occupation, found or added together with the satellite.
    long link_satellite(const char* id);

    // Stores the observations of one satellite at the current epoch.
    void store_observation(long satocc, const obs_value (&obs)[OBS_SLOTS]);

    // Writes the first and last epoch (and a derived interval) into the
    // occupation, closes the tables and prints the number of observations
    // stored.
    void finish();

private:
    long find_or_add(DbHandle* db, const char* text, const char* table);
    void close_header_tables();
    void open_epoch_tables();
    [[noreturn]] void observation_not_stored();
    std::int32_t derived_interval() const;

    // Satellite occupations of this file already linked, by satellite
    // identifier, so that an epoch does not search the indexes again.
    struct SatLink {
        char prn[4];
        long satocc;
    };
    static constexpr int sat_links_size = 1024;  // a power of two
    static constexpr int sat_links_limit = 768;  // filled beyond this, new ones are not kept

    Campaign& tables_;
    bool no_obs_data_;
    long occ_number_ = 0;
    long last_obs_number_ = 0;  // record number of the last observation stored
    int epochs_seen_ = 0;       // distinct epoch times seen, counting up to two
    double first_time_ = 0;
    double second_time_ = 0;
    double current_time_ = 0;
    NdxFile* sat_index_ = nullptr;
    NdxFile* satocc_index_ = nullptr;
    NdxFile* obs_index_ = nullptr;
    SatLink sat_links_[sat_links_size] = {};
    int sat_links_used_ = 0;
};
