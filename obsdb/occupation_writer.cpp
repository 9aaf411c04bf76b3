#include "obsdb/occupation_writer.h"

#include <sys/stat.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "support/error.h"

namespace {

// Ends the program when a record could not be written, rather than linking
// keys to a record that is not there.
long append_record(DbHandle* db, const void* record, const char* table) {
    const long number = db_append(db, record);
    if (number <= 0) fatal("Write failure on file %s.DAT\n", table);
    return number;
}

}  // namespace

OccupationWriter::OccupationWriter(Campaign& tables, bool no_obs_data)
    : tables_(tables), no_obs_data_(no_obs_data) {}

void OccupationWriter::open_header_tables() {
    tables_.open_fill({CampaignTable::sta, CampaignTable::cor, CampaignTable::ant,
                       CampaignTable::rec, CampaignTable::occ});
}

void OccupationWriter::set_file_name(const char* base_name) {
    std::snprintf(tables_.occ.rinex_file, sizeof tables_.occ.rinex_file, "%s", base_name);
    tables_.occ.occ_ordinal = tables_.occ_db.appended;
}

// Finds the record whose key begins with the first 17 characters of `text`,
// or appends the handle's record under that key; returns its record number.
// An empty text (a blank serial number) only matches an empty key: as a
// prefix it would match whatever record sorts first.
long OccupationWriter::find_or_add(DbHandle* db, const char* text, const char* table) {
    char key[18];
    std::snprintf(key, sizeof key, "%.17s", text);
    char record[sizeof(sta_record)];
    static_assert(sizeof record >= sizeof(rcv_record) && sizeof record >= sizeof(ant_record));
    std::memcpy(record, db->buffer, static_cast<std::size_t>(db->record_size));
    if (db_find(db, key)) {
        if (key[0] != '\0' || db_current_key(db)[0] == '\0') return db_current_record(db);
        std::memcpy(db->buffer, record, static_cast<std::size_t>(db->record_size));
    }
    const long number = append_record(db, db->buffer, table);
    db_key_insert(db->current_index, key, number);
    return number;
}

void OccupationWriter::close_header_tables() {
    tables_.close({CampaignTable::cor, CampaignTable::rec, CampaignTable::ant, CampaignTable::sta});
}

void OccupationWriter::close_unlinked() {
    close_header_tables();
    tables_.close({CampaignTable::occ});
}

void OccupationWriter::link_occupation() {
    occ_record& occ = tables_.occ;
    occ.sta_ref =
        static_cast<std::int32_t>(find_or_add(&tables_.sta_db, tables_.sta.marker_name, table_sta));
    occ.cor_ref =
        static_cast<std::int32_t>(append_record(&tables_.cor_db, &tables_.cor, table_cor));
    occ.rcv_ref =
        static_cast<std::int32_t>(find_or_add(&tables_.rcv_db, tables_.rcv.rcv_number, table_rec));
    occ.ant_ref =
        static_cast<std::int32_t>(find_or_add(&tables_.ant_db, tables_.ant.ant_number, table_ant));

    occ_number_ = append_record(&tables_.occ_db, &occ, table_occ);
    // Occupations are keyed by the first free number from their antenna's
    // record number on, so the index orders them by antenna, then by reading.
    char key[record_key_size];
    for (long n = occ.ant_ref;; ++n) {
        record_number_key(key, n);
        if (!db_find(&tables_.occ_db, key)) break;
    }
    db_key_insert(tables_.occ_db.current_index, key, occ_number_);

    close_header_tables();
    open_epoch_tables();
}

void OccupationWriter::open_epoch_tables() {
    tables_.open_fill({CampaignTable::satocc});
    satocc_index_ = tables_.satocc_db.current_index;
    tables_.open_fill({CampaignTable::sat});
    sat_index_ = tables_.sat_db.current_index;
    if (!no_obs_data_) {
        tables_.open_fill({CampaignTable::obs});
        obs_index_ = tables_.obs_db.current_index;
    }
}

void OccupationWriter::begin_epoch(double time) {
    current_time_ = time;
    if (epochs_seen_ == 0) {
        first_time_ = time;
        epochs_seen_ = 1;
    } else if (epochs_seen_ == 1 && time != first_time_) {
        second_time_ = time;
        epochs_seen_ = 2;
    }
}

long OccupationWriter::link_satellite(const char* id) {
    unsigned hash = 0;
    for (int i = 0; i < 3; ++i) hash = hash * 131 + static_cast<unsigned char>(id[i]);
    unsigned slot = hash & (sat_links_size - 1);
    while (sat_links_[slot].satocc != 0) {
        if (std::memcmp(sat_links_[slot].prn, id, 3) == 0) return sat_links_[slot].satocc;
        slot = (slot + 1) & (sat_links_size - 1);
    }

    char prn[4];
    std::memcpy(prn, id, 3);
    prn[3] = '\0';
    char key[satocc_key_size];
    long number = 0;
    db_select_index(&tables_.sat_db, sat_index_);
    if (!db_find(&tables_.sat_db, prn)) {
        std::memset(&tables_.sat, 0, sizeof tables_.sat);
        std::memcpy(tables_.sat.prn, prn, sizeof prn);
        const long sat_number = append_record(&tables_.sat_db, &tables_.sat, table_sat);
        db_key_insert(sat_index_, tables_.sat.prn, sat_number);
        satocc_key(key, occ_number_, sat_number);
    } else {
        satocc_key(key, occ_number_, db_current_record(&tables_.sat_db));
        db_select_index(&tables_.satocc_db, satocc_index_);
        if (db_find(&tables_.satocc_db, key)) number = db_current_record(&tables_.satocc_db);
    }
    if (number == 0) {
        tables_.satocc.sat_ref = static_cast<std::int32_t>(db_current_record(&tables_.sat_db));
        tables_.satocc.occ_ref = static_cast<std::int32_t>(occ_number_);
        number = append_record(&tables_.satocc_db, &tables_.satocc, table_satocc);
        db_key_insert(satocc_index_, key, number);
    }

    if (sat_links_used_ < sat_links_limit) {
        std::memcpy(sat_links_[slot].prn, prn, sizeof prn);
        sat_links_[slot].satocc = number;
        ++sat_links_used_;
    }
    return number;
}

// Ends the run when an observation could not be stored. Record links are
// 32-bit, so zzOBS ends where the next record would start past INT32_MAX;
// that is reported as a full campaign with the number of observations it
// holds, anything else as a failed write.
void OccupationWriter::observation_not_stored() {
    long end = last_obs_number_ > 0 ? last_obs_number_ + long{sizeof(obs_record)} : 0;
    if (end == 0) {
        // Nothing stored yet in this run: the file holds what earlier runs wrote.
        char path[64];
        std::snprintf(path, sizeof path, "%s.DAT", table_obs);
        struct stat info;
        if (stat(path, &info) == 0) end = static_cast<long>(info.st_size);
    }
    if (end > INT32_MAX)
        fatal("Campaign full: %s.DAT holds %ld observations\n", table_obs,
              end / long{sizeof(obs_record)} - 1);
    fatal("Write failure on file %s.DAT\n", table_obs);
}

// Appended to zzOBS under its own record number.
void OccupationWriter::store_observation(long satocc, const obs_value (&obs)[OBS_SLOTS]) {
    obs_record& record = tables_.obs;
    std::memcpy(record.obs, obs, sizeof record.obs);
    record.epoch = current_time_;
    record.satocc_ref = static_cast<std::int32_t>(satocc);
    if (no_obs_data_) return;
    const long number = db_append(&tables_.obs_db, &record);
    if (number <= 0) observation_not_stored();
    last_obs_number_ = number;
    char key[record_key_size];
    record_number_key(key, number);
    db_key_insert(obs_index_, key, number);
}

// The interval from the first two distinct epochs of this file, in whole
// seconds; 0 when there are fewer.
std::int32_t OccupationWriter::derived_interval() const {
    if (epochs_seen_ < 2) return 0;
    const double difference = std::trunc(second_time_) - std::trunc(first_time_);
    if (!(std::fabs(difference) <= INT32_MAX)) return 0;
    return static_cast<std::int32_t>(difference);
}

void OccupationWriter::finish() {
    occ_record& occ = tables_.occ;
    if (db_read(&tables_.occ_db, occ_number_) != occ_number_)
        fatal("Read failure on file %s.DAT\n", table_occ);
    occ.first_epoch = first_time_;
    occ.last_epoch = current_time_;
    if (occ.interval == 0) occ.interval = derived_interval();
    db_rewrite(&tables_.occ_db);
    tables_.close({CampaignTable::occ, CampaignTable::satocc, CampaignTable::sat});
    std::printf("\nEs wurden %ld Eintraege in der Obs-Datei erzeugt.\n",
                no_obs_data_ ? 0L : static_cast<long>(tables_.obs_db.appended));
    if (!no_obs_data_) tables_.close({CampaignTable::obs});
}
