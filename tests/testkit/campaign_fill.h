// Fills the campaign tables of the current folder directly through the
// database API, keyed as the RINEX reader keys them, so the listing and the
// export can be checked without observation files.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>

#include "obsdb/campaign.h"

namespace testkit {

class CampaignFill {
public:
    CampaignFill() {
        c_.open_fill({CampaignTable::sta, CampaignTable::cor, CampaignTable::ant,
                      CampaignTable::rec, CampaignTable::occ, CampaignTable::satocc,
                      CampaignTable::sat, CampaignTable::obs});
    }
    ~CampaignFill() {
        c_.close({CampaignTable::sta, CampaignTable::cor, CampaignTable::ant, CampaignTable::rec,
                  CampaignTable::occ, CampaignTable::satocc, CampaignTable::sat,
                  CampaignTable::obs});
    }
    CampaignFill(const CampaignFill&) = delete;
    CampaignFill& operator=(const CampaignFill&) = delete;

    long station(const char* name, const char* number = "") {
        std::memset(&c_.sta, 0, sizeof c_.sta);
        std::snprintf(c_.sta.marker_name, sizeof c_.sta.marker_name, "%s", name);
        std::snprintf(c_.sta.marker_number, sizeof c_.sta.marker_number, "%s", number);
        return keyed(&c_.sta_db, &c_.sta, name);
    }
    // A station record as given, which may lack its terminators.
    long station(const sta_record& record) {
        c_.sta = record;
        const std::string name(record.marker_name,
                               strnlen(record.marker_name, sizeof record.marker_name));
        return keyed(&c_.sta_db, &c_.sta, name.c_str());
    }
    long receiver(const char* number, const char* type) {
        std::memset(&c_.rcv, 0, sizeof c_.rcv);
        std::snprintf(c_.rcv.rcv_number, sizeof c_.rcv.rcv_number, "%s", number);
        std::snprintf(c_.rcv.rcv_type, sizeof c_.rcv.rcv_type, "%s", type);
        return keyed(&c_.rcv_db, &c_.rcv, number);
    }
    long antenna(const char* number, const char* type) {
        std::memset(&c_.ant, 0, sizeof c_.ant);
        std::snprintf(c_.ant.ant_number, sizeof c_.ant.ant_number, "%s", number);
        std::snprintf(c_.ant.ant_type, sizeof c_.ant.ant_type, "%s", type);
        return keyed(&c_.ant_db, &c_.ant, number);
    }

    // Everything of an occupation but the links and the position; the
    // occupation() call below adds the position and the links.
    occ_record& next_occupation() {
        std::memset(&c_.occ, 0, sizeof c_.occ);
        c_.occ.occ_flag = ' ';
        return c_.occ;
    }
    long occupation(long sta, long rcv, long ant, double x, double y, double z) {
        std::memset(&c_.cor, 0, sizeof c_.cor);
        c_.cor.pos_x = x;
        c_.cor.pos_y = y;
        c_.cor.pos_z = z;
        c_.cor.cor_flag = ' ';
        c_.occ.cor_ref = static_cast<std::int32_t>(db_append(&c_.cor_db, &c_.cor));
        c_.occ.sta_ref = static_cast<std::int32_t>(sta);
        c_.occ.rcv_ref = static_cast<std::int32_t>(rcv);
        c_.occ.ant_ref = static_cast<std::int32_t>(ant);
        // Key: the smallest number from the antenna's record number on that
        // is not yet a key (a successful find overwrites the buffer).
        const occ_record record = c_.occ;
        char key[record_key_size];
        long key_number = ant;
        do record_number_key(key, key_number++);
        while (db_find(&c_.occ_db, key));
        c_.occ = record;
        const long number = db_append(&c_.occ_db, &c_.occ);
        db_key_insert(c_.occ_db.current_index, key, number);
        return number;
    }

    long satellite(const char* prn) {
        std::memset(&c_.sat, 0, sizeof c_.sat);
        std::snprintf(c_.sat.prn, sizeof c_.sat.prn, "%s", prn);
        return keyed(&c_.sat_db, &c_.sat, prn);
    }
    long satellite_occupation(long sat, long occ) {
        c_.satocc.sat_ref = static_cast<std::int32_t>(sat);
        c_.satocc.occ_ref = static_cast<std::int32_t>(occ);
        char key[satocc_key_size];
        satocc_key(key, occ, sat);
        return keyed(&c_.satocc_db, &c_.satocc, key);
    }
    long observation(long satocc, double epoch) {
        std::memset(&c_.obs, 0, sizeof c_.obs);
        c_.obs.satocc_ref = static_cast<std::int32_t>(satocc);
        c_.obs.epoch = epoch;
        const long number = db_append(&c_.obs_db, &c_.obs);
        char key[record_key_size];
        record_number_key(key, number);
        db_key_insert(c_.obs_db.current_index, key, number);
        return number;
    }

private:
    // Every call names a new record: append it and key it.
    static long keyed(DbHandle* db, void* record, const char* key_text) {
        const std::string key = std::string(key_text).substr(0, 17);  // keys hold 17 characters
        const long number = db_append(db, record);
        db_key_insert(db->current_index, key.c_str(), number);
        return number;
    }

    Campaign c_;
};

}  // namespace testkit
