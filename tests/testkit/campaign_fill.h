// Fills the campaign tables of the current folder directly through the
// database API, keyed as the RINEX reader keys them, so the listing and the
// export can be checked without observation files.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>

#include "obsdb/schema.h"

namespace testkit {

class CampaignFill {
public:
    CampaignFill() {
        table_open_fill(&sta_db_, table_sta, sizeof sta_, true);
        table_open_fill(&cor_db_, table_cor, sizeof cor_, false);
        table_open_fill(&ant_db_, table_ant, sizeof ant_, true);
        table_open_fill(&rcv_db_, table_rec, sizeof rcv_, true);
        table_open_fill(&occ_db_, table_occ, sizeof occ_, true);
        table_open_fill(&satocc_db_, table_satocc, sizeof satocc_, true);
        table_open_fill(&sat_db_, table_sat, sizeof sat_, true);
        table_open_fill(&obs_db_, table_obs, sizeof obs_, true);
    }
    ~CampaignFill() {
        for (DbHandle* db : {&sta_db_, &cor_db_, &ant_db_, &rcv_db_, &occ_db_, &satocc_db_,
                             &sat_db_, &obs_db_})
            db_close(db);
    }
    CampaignFill(const CampaignFill&) = delete;
    CampaignFill& operator=(const CampaignFill&) = delete;

    long station(const char* name, const char* number = "") {
        std::memset(&sta_, 0, sizeof sta_);
        std::snprintf(sta_.marker_name, sizeof sta_.marker_name, "%s", name);
        std::snprintf(sta_.marker_number, sizeof sta_.marker_number, "%s", number);
        return keyed(&sta_db_, &sta_, name);
    }
    // A station record as given, which may lack its terminators.
    long station(const sta_record& record) {
        sta_ = record;
        const std::string name(record.marker_name, strnlen(record.marker_name, sizeof record.marker_name));
        return keyed(&sta_db_, &sta_, name.c_str());
    }
    long receiver(const char* number, const char* type) {
        std::memset(&rcv_, 0, sizeof rcv_);
        std::snprintf(rcv_.rcv_number, sizeof rcv_.rcv_number, "%s", number);
        std::snprintf(rcv_.rcv_type, sizeof rcv_.rcv_type, "%s", type);
        return keyed(&rcv_db_, &rcv_, number);
    }
    long antenna(const char* number, const char* type) {
        std::memset(&ant_, 0, sizeof ant_);
        std::snprintf(ant_.ant_number, sizeof ant_.ant_number, "%s", number);
        std::snprintf(ant_.ant_type, sizeof ant_.ant_type, "%s", type);
        return keyed(&ant_db_, &ant_, number);
    }

    // Everything of an occupation but the links and the position; the
    // occupation() call below adds the position and the links.
    occ_record& next_occupation() {
        std::memset(&occ_, 0, sizeof occ_);
        occ_.occ_flag = ' ';
        return occ_;
    }
    long occupation(long sta, long rcv, long ant, double x, double y, double z) {
        std::memset(&cor_, 0, sizeof cor_);
        cor_.pos_x = x;
        cor_.pos_y = y;
        cor_.pos_z = z;
        cor_.cor_flag = ' ';
        occ_.cor_ref = static_cast<std::int32_t>(db_append(&cor_db_, &cor_));
        occ_.sta_ref = static_cast<std::int32_t>(sta);
        occ_.rcv_ref = static_cast<std::int32_t>(rcv);
        occ_.ant_ref = static_cast<std::int32_t>(ant);
        // Key: the smallest number from the antenna's record number on that
        // is not yet a key (a successful find overwrites the buffer).
        const occ_record record = occ_;
        char key[24];
        long key_number = ant;
        do std::snprintf(key, sizeof key, "%08ld", key_number++);
        while (db_find(&occ_db_, key));
        occ_ = record;
        const long number = db_append(&occ_db_, &occ_);
        db_key_insert(occ_db_.current_index, key, number);
        return number;
    }

    long satellite(const char* prn) {
        std::memset(&sat_, 0, sizeof sat_);
        std::snprintf(sat_.prn, sizeof sat_.prn, "%s", prn);
        return keyed(&sat_db_, &sat_, prn);
    }
    long satellite_occupation(long sat, long occ) {
        satocc_.sat_ref = static_cast<std::int32_t>(sat);
        satocc_.occ_ref = static_cast<std::int32_t>(occ);
        char key[40];
        std::snprintf(key, sizeof key, "%07ld%07ld", occ, sat);
        return keyed(&satocc_db_, &satocc_, key);
    }
    long observation(long satocc, double epoch) {
        std::memset(&obs_, 0, sizeof obs_);
        obs_.satocc_ref = static_cast<std::int32_t>(satocc);
        obs_.epoch = epoch;
        const long number = db_append(&obs_db_, &obs_);
        char key[24];
        std::snprintf(key, sizeof key, "%08ld", number);
        db_key_insert(obs_db_.current_index, key, number);
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

    sta_record sta_{};
    cor_record cor_{};
    ant_record ant_{};
    rcv_record rcv_{};
    occ_record occ_{};
    satocc_record satocc_{};
    sat_record sat_{};
    obs_record obs_{};
    DbHandle sta_db_{nullptr, nullptr, 0, 0, 0, &sta_};
    DbHandle cor_db_{nullptr, nullptr, 0, 0, 0, &cor_};
    DbHandle ant_db_{nullptr, nullptr, 0, 0, 0, &ant_};
    DbHandle rcv_db_{nullptr, nullptr, 0, 0, 0, &rcv_};
    DbHandle occ_db_{nullptr, nullptr, 0, 0, 0, &occ_};
    DbHandle satocc_db_{nullptr, nullptr, 0, 0, 0, &satocc_};
    DbHandle sat_db_{nullptr, nullptr, 0, 0, 0, &sat_};
    DbHandle obs_db_{nullptr, nullptr, 0, 0, 0, &obs_};
};

}  // namespace testkit
