// The lumerak program: banner, option scan, then the requested commands in
// the fixed order read, list, observation table, export, plot, cycle slips
// (the quality check).
#include <cstdio>
#include <string>

#include "db/output_file.h"
#include "db/table.h"

#include "export/geonap.h"
#include "export/observation_directions.h"
#include "export/observation_table.h"
#include "front/run_settings.h"
#include "obsdb/listing.h"
#include "rinex/rinex_reader.h"
#include "obsdb/schema.h"
#include "plot/overview_command.h"
#include "plot/plot_command.h"
#include "quality/quality_command.h"
#include "support/error.h"
#include "support/untrusted_text.h"
#include "support/version.h"

namespace {

void print_usage() {
    message("\nUsage:\n");
    message("lumerak <Command> [<Options>..]\n");
    message("\nCommand:\n");
    message("-r<filename>   read rinex observation file <filename> into database\n");
    message("-g             create graphics, one output file per occupation with suffix *.ps\n");
    message("-a<filename>   create GEONAP 'database' files, filenames begin with <filename> \n");
    message("-s<filename>   list contents of whole database into <filename>\n");
    message("-x<filename>   write every observation as CSV into <filename>\n");
    message("               (with -t one occupation, with -b/-e that span)\n");
    message("\nOptions:\n");
    message("-p             set paper orientation to portrait, default: landscape\n");
    message("-f<format>     graphics format: ps (default), pdf, svg or png\n");
    message("-b<start_time> begin at epoch start_time, format: dd.mm.yy,hh:mm:ss\n");
    message("-e<end_time>   end at epoch end_time, format: dd.mm.yy,hh:mm:ss\n");
    message("-c             show XYZ-coordinates, default: LAT/LON/ALT\n");
    message("-d<l0>,<l1>,<l2>,<l3>,<l4>,<l5>,<l5>,<l6>,<l7>,<l8>,<l9>\n");
    message("               set linetypes for S/N, <li> in [-1..9]\n");
    message("               default: 0-3: linetype 3; 4-6: linetype 6; 7-9: linetype 9\n");
    message("               i.e. -d3,3,3,3,6,6,6,9,9,9\n");
    message("-0             Don't write observation data to disk.(Enhances speed\n");
    message("               of -r command, but -g command does not work afterwards)\n");
    message("               default: Write data.\n");
    message("\nExample:\n");
    message("lumerak -rTP2703150.99o -b03.10.99,05:00:30\n");
}

// Each step prints its progress lines around its command.
void run_commands() {
    const RunSettings& s = run_settings;
    if (s.do_read) {
        const std::string shown = console_text(s.read_file);
        message("'%s' read into database\n", shown.c_str());
        char note[320];  // said when the read fails or is interrupted
        std::snprintf(note, sizeof note, "Nothing of '%.200s' was added to the database.",
                      shown.c_str());
        db_changes_begin(note);
        read_rinex(s.read_file, s.no_obs_data);
        db_changes_commit();
        message("done.\n");
    }
    if (s.do_list) {
        list_database(s.list_file);
    }
    if (s.do_table) {
        message("observations into '%s'\n", console_text(s.table_file).c_str());
        write_observation_table(s.table_file, {s.plot_station, s.plot_begin, s.plot_end},
                                campaign_sky_directions());
        message("done.\n");
    }
    if (s.do_export) {
        message("create GEONAP-Database '%s'\n", console_text(s.export_name).c_str());
        const bool creates_gn = !table_exists(table_gn);  // the export's own table
        if (creates_gn) db_changes_begin("The export added nothing to the database.");
        export_geonap(s.export_name);
        if (creates_gn) db_changes_commit();
        message("done.\n");
    }
    if (s.do_plot) {
        message("create plots for all occupations\n");
        // With the quality check in the same run, the pages show its slips.
        plot_occupations("zzOBS", s.show_lat_lon, s.landscape, s.plot_begin, s.plot_end,
                         s.plot_station, s.sn_line_types, s.do_cycle_slips, s.plot_format);
        message("done.\n");
    }
    std::vector<CheckedOccupation> checked;
    if (s.do_cycle_slips) {
        // The quality check: every occupation, or with -t the plotted one.
        message("cycles slips\n");
        check_campaign(s.plot_station, &checked);
        message("done.\n");
    }
    if (s.do_plot && s.plot_station[0] == '\0') {
        // The campaign at a glance, with the pages of every occupation; its
        // bars are shaded by the check's slips when the check ran too.
        write_campaign_overview(s.landscape, s.do_cycle_slips ? &checked : nullptr, s.plot_format);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    if (!report_stream) report_stream = stderr;
    std::printf("%s %s %s %s\n", program_name, version_text, credits_text, build_tool_text);
    run_settings.plot_station[0] = '\0';

    if (argc > 1) scan_options(argc, argv);

    const RunSettings& s = run_settings;
    if (s.do_read || s.do_plot || s.do_list || s.do_table || s.do_cycle_slips || s.do_export) {
        // One writer at a time; a journal left by an interrupted run is restored first.
        db_campaign_lock(s.do_read || (s.do_export && !table_exists(table_gn)));
        output_sweep();
        run_commands();
    } else if (argc <= 1) {
        print_usage();
    }
    return 0;
}
