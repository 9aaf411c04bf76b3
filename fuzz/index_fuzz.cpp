// Opens an arbitrary index file with an arbitrary record file as a table,
// runs a script of finds, walks, appends, key insertions and rewrites on it,
// closes it, and opens and walks it again.
//
// Input layout: byte 0 picks the record size (1 to 64); bytes 1-2 and 3-4
// (little-endian) are the lengths of the record file and of the script that
// follow; the rest is the index file.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "db/table.h"
#include "fuzz/fuzz_support.h"

namespace {

// Steps of all walks of one command. A damaged tree whose pages share a
// subtree is walked once per sharing, which may never end in useful time.
constexpr int walk_budget = 50000;
int walk_left = 0;

struct Script {
    const std::uint8_t* at;
    std::size_t left;
    int record_size;
};

unsigned char record[64];
DbHandle table{nullptr, nullptr, 0, 0, 0, record};

int next_byte(Script& s) {
    if (s.left == 0) return -1;
    --s.left;
    return *s.at++;
}

// A key of up to 17 characters taken from the script.
void next_key(Script& s, char (&key)[18]) {
    const int length = next_byte(s);
    int n = 0;
    for (; length > 0 && n < length % 18; ++n) {
        const int c = next_byte(s);
        if (c <= 0) break;
        key[n] = static_cast<char>(c);
    }
    key[n] = '\0';
}

void walk() {
    for (long number = db_first(&table); number != 0 && walk_left > 0;
         number = db_next(&table), --walk_left)
        db_read(&table, number);
}

void run_script(void* argument) {
    Script s = *static_cast<const Script*>(argument);
    walk_left = walk_budget;
    db_open(&table, s.record_size, "T");
    NdxFile* index = db_index_open(&table, "T", 0);
    char key[18];
    for (int op = next_byte(s); op >= 0; op = next_byte(s)) {
        switch (op % 6) {
        case 0:
            next_key(s, key);
            db_find(&table, key);
            break;
        case 1: walk(); break;
        case 2: {
            next_key(s, key);
            std::memcpy(record, key, sizeof key);
            db_key_insert(index, key, db_append(&table, record));
            break;
        }
        case 3: {
            next_key(s, key);
            const int low = next_byte(s);
            const int high = next_byte(s);
            db_key_insert(index, key, (low < 0 ? 0 : low) | (high < 0 ? 0 : high) << 8);
            break;
        }
        case 4:
            if (db_next(&table) != 0) db_rewrite(&table);
            break;
        default: db_first(&table); break;
        }
    }
    db_close(&table);
}

void reopen_and_walk(void* argument) {
    const Script s = *static_cast<const Script*>(argument);
    walk_left = walk_budget;
    db_open(&table, s.record_size, "T");
    db_index_open(&table, "T", 0);
    walk();
    db_close(&table);
}

std::size_t take_length(const std::uint8_t* at, std::size_t& left) {
    const std::size_t wanted = at[0] | static_cast<std::size_t>(at[1]) << 8;
    const std::size_t length = wanted < left ? wanted : left;
    left -= length;
    return length;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_make_private_folder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return -1;
    fuzz_begin_input();
    std::size_t left = size - 5;
    Script script{nullptr, 0, 1 + data[0] % 64};
    const std::size_t record_bytes = take_length(data + 1, left);
    script.left = take_length(data + 3, left);
    const std::uint8_t* at = data + 5;
    fuzz_write_file("T.DAT", at, record_bytes);
    at += record_bytes;
    script.at = at;
    at += script.left;
    fuzz_write_file("T.ID0", at, left);
    fuzz_run_command("script", run_script, &script);
    fuzz_run_command("reopen", reopen_and_walk, &script);
    fuzz_end_input();
    return 0;
}
