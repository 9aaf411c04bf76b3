// The campaign tables as one command uses them: a record variable and a
// handle for each of the eight tables, opened in the order the command gives
// (which decides the table a missing-file report names first) and closed in
// the order it gives.
#pragma once

#include <initializer_list>

#include "db/table.h"
#include "obsdb/schema.h"

enum class CampaignTable { sta, cor, rec, ant, occ, sat, satocc, obs };

struct Campaign {
    Campaign() = default;
    Campaign(const Campaign&) = delete;
    Campaign& operator=(const Campaign&) = delete;

    // The record variables; each handle reads into and writes from its own.
    sta_record sta{};
    cor_record cor{};
    rcv_record rcv{};
    ant_record ant{};
    occ_record occ{};
    sat_record sat{};
    satocc_record satocc{};
    obs_record obs{};

    DbHandle sta_db{.buffer = &sta};
    DbHandle cor_db{.buffer = &cor};
    DbHandle rcv_db{.buffer = &rcv};
    DbHandle ant_db{.buffer = &ant};
    DbHandle occ_db{.buffer = &occ};
    DbHandle sat_db{.buffer = &sat};
    DbHandle satocc_db{.buffer = &satocc};
    DbHandle obs_db{.buffer = &obs};

    // Name of the observation table (the plot can be pointed at another).
    const char* obs_table = table_obs;

    DbHandle& handle(CampaignTable table);

    // Opens the tables in the given order to read them: the record file, then
    // index 0 as the current index (zzCOR has none).
    void open_read(std::initializer_list<CampaignTable> tables);
    // Opens the tables in the given order to fill them: as open_read when the
    // record file exists, otherwise created with a unique index.
    void open_fill(std::initializer_list<CampaignTable> tables);
    // Closes the tables in the given order.
    void close(std::initializer_list<CampaignTable> tables);

    // Reads the record a link points to into its record variable. A link that
    // points nowhere leaves an all-zero record and gives false, so nothing of
    // a previous record passes for the linked one.
    bool read_linked(CampaignTable table, long record_number);

    // Reads a record that an index entry or a stored link must hold. A record
    // that cannot be read whole (a cut file, a number past the end of the
    // file) ends the run with "Damaged record file <name> (record <n>)", so
    // that no command goes on with the previous record's values.
    void read_checked(CampaignTable table, long record_number);
};
