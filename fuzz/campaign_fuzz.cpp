// Runs the commands on an arbitrary campaign database: the record and index
// files of every table come from the input (campaign_files.h), as a database
// damaged on disk or written by some other program would. A small
// observation file is read into it, then it is listed, exported and plotted,
// each command whether or not an earlier one ended with an error report.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/campaign_files.h"
#include "fuzz/commands.h"
#include "fuzz/fuzz_support.h"

namespace {

// Two epochs of a station that the seeds' databases do not hold yet.
const char observation_file[] =
    "     2.10           OBSERVATION DATA    G (GPS)             RINEX VERSION / TYPE\n"
    "FUZZ                                                        MARKER NAME\n"
    "1234                TRIMBLE 4000SSI     7.19                REC # / TYPE / VERS\n"
    "5678                TRM22020.00+GP                          ANT # / TYPE\n"
    "  4027893.7000   307045.6000  4919475.1000                  APPROX POSITION XYZ\n"
    "        0.0000        0.0000        0.0000                  ANTENNA: DELTA H/E/N\n"
    "     1     1                                                WAVELENGTH FACT L1/2\n"
    "     3    C1    L1    S1                                    # / TYPES OF OBSERV\n"
    "    30.0000                                                 INTERVAL\n"
    "                                                            END OF HEADER\n"
    " 95  1  1  0  0  0.0000000  0  2G 1G 2\n"
    "  20000000.000    1000.0004 7        45.000\n"
    "  21000000.000    2000.0004 6        40.000\n"
    " 95  1  1  0  0 30.0000000  0  2G 1G 2\n"
    "  20000100.000    1100.0004 7        45.000\n"
    "  21000100.000    2100.0004 6        40.000\n";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_set_up_program();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t* files[campaign_file_count] = {};
    std::size_t lengths[campaign_file_count] = {};
    std::size_t at = 0;
    while (at + 3 <= size) {
        const std::size_t file = data[at] % campaign_file_count;
        const std::size_t wanted = data[at + 1] | static_cast<std::size_t>(data[at + 2]) << 8;
        at += 3;
        const std::size_t length = wanted < size - at ? wanted : size - at;
        files[file] = data + at;
        lengths[file] = length;
        at += length;
    }
    fuzz_begin_input();
    for (std::size_t i = 0; i < campaign_file_count; ++i)
        if (files[i]) fuzz_write_file(campaign_files[i], files[i], lengths[i]);
    fuzz_write_file("input.o", reinterpret_cast<const std::uint8_t*>(observation_file),
                    std::strlen(observation_file));
    // An odd length also reads the observation file first.
    fuzz_run_program({static_cast<int>(size % 2), false, true, true, true});
    fuzz_end_input();
    return 0;
}
