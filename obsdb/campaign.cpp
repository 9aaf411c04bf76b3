#include "obsdb/campaign.h"

#include <cstring>

#include "support/error.h"

namespace {

struct TableInfo {
    const char* name;
    int record_size;
    bool indexed;
};

TableInfo info_of(const Campaign& c, CampaignTable table) {
    switch (table) {
    case CampaignTable::sta: return {table_sta, sizeof(sta_record), true};
    case CampaignTable::cor: return {table_cor, sizeof(cor_record), false};
    case CampaignTable::rec: return {table_rec, sizeof(rcv_record), true};
    case CampaignTable::ant: return {table_ant, sizeof(ant_record), true};
    case CampaignTable::occ: return {table_occ, sizeof(occ_record), true};
    case CampaignTable::sat: return {table_sat, sizeof(sat_record), true};
    case CampaignTable::satocc: return {table_satocc, sizeof(satocc_record), true};
    case CampaignTable::obs: break;
    }
    return {c.obs_table, sizeof(obs_record), true};
}

}  // namespace

DbHandle& Campaign::handle(CampaignTable table) {
    switch (table) {
    case CampaignTable::sta: return sta_db;
    case CampaignTable::cor: return cor_db;
    case CampaignTable::rec: return rcv_db;
    case CampaignTable::ant: return ant_db;
    case CampaignTable::occ: return occ_db;
    case CampaignTable::sat: return sat_db;
    case CampaignTable::satocc: return satocc_db;
    case CampaignTable::obs: break;
    }
    return obs_db;
}

void Campaign::open_read(std::initializer_list<CampaignTable> tables) {
    for (CampaignTable table : tables) {
        const TableInfo info = info_of(*this, table);
        table_open_read(&handle(table), info.name, info.record_size, info.indexed);
    }
}

void Campaign::open_fill(std::initializer_list<CampaignTable> tables) {
    for (CampaignTable table : tables) {
        const TableInfo info = info_of(*this, table);
        table_open_fill(&handle(table), info.name, info.record_size, info.indexed);
    }
}

void Campaign::close(std::initializer_list<CampaignTable> tables) {
    for (CampaignTable table : tables) db_close(&handle(table));
}

bool Campaign::read_linked(CampaignTable table, long record_number) {
    DbHandle& db = handle(table);
    if (record_number > 0 && db_read(&db, record_number) == record_number) return true;
    std::memset(db.buffer, 0, static_cast<std::size_t>(db.record_size));
    return false;
}

void Campaign::read_checked(CampaignTable table, long record_number) {
    DbHandle& db = handle(table);
    if (record_number > 0 && db_read(&db, record_number) == record_number) return;
    fatal("Damaged record file %s.DAT (record %ld)\n", info_of(*this, table).name, record_number);
}
