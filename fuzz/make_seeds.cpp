// Writes the seed inputs of index_fuzz and campaign_fuzz from what the
// program itself makes: tables of the engine (empty, one page, several
// levels, duplicate keys) with a short script of every operation, and the
// databases read from the observation seeds.
// Usage: make_seeds <fuzz folder>   (writes <fuzz folder>/corpus/index and
// <fuzz folder>/corpus/campaign from <fuzz folder>/corpus/rinex)
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "db/table.h"
#include "export/geonap.h"
#include "fuzz/campaign_files.h"
#include "rinex/rinex_reader.h"
#include "obsdb/schema.h"

namespace {

constexpr int record_size = 16;
char record[record_size];
DbHandle table{nullptr, nullptr, 0, 0, 0, record};

std::string slurp(const char* name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void put_key(std::string& script, int op, const std::string& key) {
    script += static_cast<char>(op);
    script += static_cast<char>(key.size());
    script += key;
}

// A script that finds, inserts (both ways), rewrites and walks, then inserts
// a key the table already holds.
std::string script_for(int keys) {
    std::string script;
    put_key(script, 0, "K00");
    put_key(script, 0, "K" + std::to_string(keys / 2));
    put_key(script, 0, "Z");
    put_key(script, 2, "K00A");
    put_key(script, 2, "NEWKEY");
    script += '\x05';
    script += '\x04';
    script += '\x01';
    // Last, as in a table of unique keys it ends the script with a report.
    put_key(script, 3, "K01");
    script += "\x20\x00";
    return script;
}

void write_index_seed(const std::string& folder, const char* name, int keys, int dup_mode,
                      int repeat) {
    db_create(&table, record_size, "T");
    NdxFile* index = db_index_create(&table, "T", 0, dup_mode);
    for (int i = 0; i < keys; ++i) {
        std::snprintf(record, sizeof record, "K%02d", i / repeat);
        db_key_insert(index, record, db_append(&table, record));
    }
    db_close(&table);
    const std::string records = slurp("T.DAT");
    const std::string image = slurp("T.ID0");
    const std::string script = script_for(keys / repeat);
    std::string seed;
    seed += static_cast<char>(record_size - 1);
    seed += static_cast<char>(records.size() & 0xff);
    seed += static_cast<char>(records.size() >> 8);
    seed += static_cast<char>(script.size() & 0xff);
    seed += static_cast<char>(script.size() >> 8);
    seed += records + script + image;
    std::ofstream(folder + "/" + name, std::ios::binary) << seed;
    std::printf("%s: %zu bytes\n", name, seed.size());
}

void remove_campaign() {
    for (const char* name : campaign_files) unlink(name);
    for (const char* extension : {".STA", ".OBS", ".RCV", ".ANT"})
        unlink((std::string("CAMP") + extension).c_str());
}

// The database of one observation file, with the receiver codes the export adds.
void write_campaign_seed(const std::string& folder, const std::string& observations) {
    remove_campaign();
    read_rinex(observations.c_str(), false);
    export_geonap("CAMP");
    std::string seed;
    for (std::size_t i = 0; i < campaign_file_count; ++i)
        pack_campaign_file(seed, i, slurp(campaign_files[i]));
    const std::string name = std::filesystem::path(observations).stem().string() + "-database";
    std::ofstream(folder + "/" + name, std::ios::binary) << seed;
    std::printf("%s: %zu bytes\n", name.c_str(), seed.size());
    remove_campaign();
}

// The database of one observation file as a run that was killed leaves it:
// observations appended and keyed, pages written back, the journal beside.
void write_interrupted_seed(const std::string& folder, const std::string& observations) {
    remove_campaign();
    read_rinex(observations.c_str(), false);
    db_changes_begin("");
    char obs[sizeof(obs_record)] = {};
    DbHandle table{};
    table.buffer = obs;
    db_open(&table, sizeof obs, table_obs);
    NdxFile* index = db_index_open(&table, table_obs, 0);
    for (int i = 0; i < 200; ++i) {
        const long number = db_append(&table, obs);
        char key[16];
        std::snprintf(key, sizeof key, "%08ld", number);
        db_key_insert(index, key, number);
    }
    db_close(&table);
    std::string seed;
    for (std::size_t i = 0; i < campaign_file_count; ++i)
        pack_campaign_file(seed, i, slurp(campaign_files[i]));
    db_close_all();  // the run ends here without its commit
    const std::string name = std::filesystem::path(observations).stem().string() + "-interrupted";
    std::ofstream(folder + "/" + name, std::ios::binary) << seed;
    std::printf("%s: %zu bytes\n", name.c_str(), seed.size());
    remove_campaign();
}

// A station table damaged on disk: a read fails on it after the observation
// file is open. The seed is small and has an odd length (one read), so the
// fuzzer runs it before the databases, whose reads end normally and would
// then show a file the failed read left behind and closes later.
void write_damaged_seed(const std::string& folder) {
    std::string seed;
    pack_campaign_file(seed, 0, std::string(200, 'x'));
    pack_campaign_file(seed, 1, std::string(600, 'g'));
    if (seed.size() % 2 == 0) seed += '\0';
    std::ofstream(folder + "/damaged-station-table", std::ios::binary) << seed;
    std::printf("damaged-station-table: %zu bytes\n", seed.size());
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds <fuzz folder>\n");
        return 2;
    }
    const std::string corpus = std::filesystem::absolute(argv[1]).string() + "/corpus";
    const std::string folder = corpus + "/index";
    char work[] = "/tmp/lumerak-seeds-XXXXXX";
    if (!mkdtemp(work) || chdir(work) != 0) return 1;
    write_index_seed(folder, "empty", 0, 0, 1);
    write_index_seed(folder, "one-page", 40, 0, 1);
    write_index_seed(folder, "levels", 300, 0, 1);
    write_index_seed(folder, "duplicates", 90, 1, 3);
    unlink("T.DAT");
    unlink("T.ID0");
    for (const char* observations : {"aopr0010.17o", "KOSG0010.95O"})
        write_campaign_seed(corpus + "/campaign", corpus + "/rinex/" + observations);
    write_interrupted_seed(corpus + "/campaign", corpus + "/rinex/aopr0010.17o");
    write_damaged_seed(corpus + "/campaign");
    rmdir(work);
    return 0;
}
