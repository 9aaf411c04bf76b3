// The program's commands as the observation and database harnesses run
// them: in the program's order, on fixed file names in the private folder.
#pragma once

struct FuzzRun {
    int reads;                    // times "input.o" is read: 0, 1 or 2
    bool last_read_without_data;  // the last read as with -0
    bool show_lat_lon;
    bool landscape;
    bool check;  // the quality check runs: the pages show its slips, then its report
};

// Makes the private folder and sets the default run settings.
void fuzz_set_up_program();

// Restores a journal left in the folder, then reads, lists ("listing.txt"),
// exports ("CAMP"), plots every occupation and, when asked, checks them,
// each command whether or not an earlier one ended with an error report:
// the later ones see what the earlier ones left on disk, as the next run of
// the program would.
void fuzz_run_program(const FuzzRun& run);
