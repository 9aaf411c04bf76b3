// Reads an arbitrary file as a RINEX observation file into a fresh database,
// reads it a second time into the same database, then lists, exports and
// plots the database, each command in turn whether or not an earlier one
// ended with an error report: the later commands see what the earlier ones
// left on disk, as the next run of the program would.
#include <cstddef>
#include <cstdint>

#include "export/geonap.h"
#include "front/run_settings.h"
#include "fuzz/fuzz_support.h"
#include "obsdb/listing.h"
#include "obsdb/r_rinex.h"
#include "plot/plot_driver.h"

namespace {

struct PlotChoice {
    bool show_lat_lon;
    bool landscape;
};

void read_with_data(void*) { read_rinex("input.o", false); }
void read_without_data(void*) { read_rinex("input.o", true); }
void list(void*) { list_database("listing.txt"); }
void do_export(void*) { export_geonap("CAMP"); }
void plot(void* argument) {
    const auto* choice = static_cast<const PlotChoice*>(argument);
    plot_occupations("zzOBS", choice->show_lat_lon, choice->landscape, -1, -1, "");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_make_private_folder();
    run_settings = default_run_settings;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_begin_input();
    fuzz_write_file("input.o", data, size);
    // The last byte picks the variants, so that the corpus reaches them all.
    const std::uint8_t pick = size > 0 ? data[size - 1] : 0;
    fuzz_run_command("read", read_with_data, nullptr);
    fuzz_run_command("read", (pick & 1) ? read_without_data : read_with_data, nullptr);
    fuzz_run_command("list", list, nullptr);
    fuzz_run_command("export", do_export, nullptr);
    PlotChoice choice{(pick & 2) != 0, (pick & 4) != 0};
    fuzz_run_command("plot", plot, &choice);
    fuzz_end_input();
    return 0;
}
