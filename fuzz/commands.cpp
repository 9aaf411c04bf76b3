#include "fuzz/commands.h"

#include "db/table.h"
#include "export/geonap.h"
#include "front/run_settings.h"
#include "fuzz/fuzz_support.h"
#include "obsdb/listing.h"
#include "plot/overview_command.h"
#include "plot/plot_command.h"
#include "quality/quality_command.h"
#include "rinex/rinex_reader.h"

namespace {

// A journal left in the folder is restored first, as every run does.
void recover(void*) {
    db_campaign_lock(true);
    db_campaign_unlock();
}
// Reads change the database under the journal, as in the program.
void read_with_data(void*) {
    db_changes_begin("Nothing of 'input.o' was added to the database.");
    read_rinex("input.o", false);
    db_changes_commit();
}
void read_without_data(void*) {
    db_changes_begin("Nothing of 'input.o' was added to the database.");
    read_rinex("input.o", true);
    db_changes_commit();
}
void list(void*) { list_database("listing.txt"); }
void do_export(void*) { export_geonap("CAMP"); }
void plot(void* argument) {
    const auto* run = static_cast<const FuzzRun*>(argument);
    plot_occupations("zzOBS", run->show_lat_lon, run->landscape, -1, -1, "",
                     run_settings.sn_line_types, run->check);
}
void check(void* checked) {
    check_campaign("", static_cast<std::vector<CheckedOccupation>*>(checked));
}
void overview(void* argument) {
    const auto* run = static_cast<const FuzzRun*>(argument);
    write_campaign_overview(run->landscape, nullptr);
}
void checked_overview(void* argument) {
    const auto* checked = static_cast<const std::vector<CheckedOccupation>*>(argument);
    write_campaign_overview(true, checked);
}

}  // namespace

void fuzz_set_up_program() {
    fuzz_make_private_folder();
    run_settings = default_run_settings;
}

void fuzz_run_program(const FuzzRun& run) {
    fuzz_run_command("recover", recover, nullptr);
    for (int i = 1; i <= run.reads; ++i) {
        const bool without_data = i == run.reads && run.last_read_without_data;
        fuzz_run_command("read", without_data ? read_without_data : read_with_data, nullptr);
    }
    fuzz_run_command("list", list, nullptr);
    fuzz_run_command("export", do_export, nullptr);
    FuzzRun choice = run;
    fuzz_run_command("plot", plot, &choice);
    std::vector<CheckedOccupation> checked;
    if (run.check) fuzz_run_command("check", check, &checked);
    // The campaign's overview, as -g writes it after the check.
    if (run.check)
        fuzz_run_command("overview", checked_overview, &checked);
    else
        fuzz_run_command("overview", overview, &choice);
}
