// Reads an arbitrary file as a RINEX observation file into a fresh database,
// reads it a second time into the same database, then lists, exports, plots
// and (for some inputs) checks the database.
#include <cstddef>
#include <cstdint>

#include "fuzz/commands.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_set_up_program();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_begin_input();
    fuzz_write_file("input.o", data, size);
    // The last byte picks the variants, so that the corpus reaches them all.
    const std::uint8_t pick = size > 0 ? data[size - 1] : 0;
    fuzz_run_program({2, (pick & 1) != 0, (pick & 2) != 0, (pick & 4) != 0, (pick & 8) != 0});
    fuzz_end_input();
    return 0;
}
