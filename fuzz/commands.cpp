#include "fuzz/commands.h"

#include "export/geonap.h"
#include "front/run_settings.h"
#include "fuzz/fuzz_support.h"
#include "obsdb/listing.h"
#include "obsdb/rinex_reader.h"
#include "plot/plot_command.h"

namespace {

void read_with_data(void*) { read_rinex("input.o", false); }
void read_without_data(void*) { read_rinex("input.o", true); }
void list(void*) { list_database("listing.txt"); }
void do_export(void*) { export_geonap("CAMP"); }
void plot(void* argument) {
    const auto* run = static_cast<const FuzzRun*>(argument);
    plot_occupations("zzOBS", run->show_lat_lon, run->landscape, -1, -1, "",
                     run_settings.sn_line_types);
}

}  // namespace

void fuzz_set_up_program() {
    fuzz_make_private_folder();
    run_settings = default_run_settings;
}

void fuzz_run_program(const FuzzRun& run) {
    for (int i = 1; i <= run.reads; ++i) {
        const bool without_data = i == run.reads && run.last_read_without_data;
        fuzz_run_command("read", without_data ? read_without_data : read_with_data, nullptr);
    }
    fuzz_run_command("list", list, nullptr);
    fuzz_run_command("export", do_export, nullptr);
    FuzzRun choice = run;
    fuzz_run_command("plot", plot, &choice);
}
