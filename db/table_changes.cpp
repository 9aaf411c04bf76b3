// A change of the database as the commands bracket it (db_changes_begin,
// db_changes_commit). The journal keeps it undoable; when the run ends with
// an error report, or with SIGINT, SIGTERM or SIGHUP, the table layer, which
// knows both the files and the journal, rolls it back: the records and
// pages the record and index files still hold are dropped unwritten, then
// the journal restores the files.
#include "db/table_changes.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "db/change_signals.h"
#include "db/index_internal.h"
#include "db/journal.h"
#include "db/record_file.h"
#include "db/table.h"
#include "support/error.h"

namespace {

std::string rollback_note;

// Ends what this layer set up for the change: the exit hook and the signals.
void end_change() {
    error_set_exit_hook(nullptr);
    change_signals_restore();
}

// Drops what the run holds without writing any of it, then restores the
// database from the journal; says what became of the run.
void roll_back(const char* cause) {
    rec_discard_all();
    ndx_discard_all();
    end_change();
    std::string why;
    if (journal_roll_back(why))
        std::fprintf(stderr, "\n%s%s\n", cause, rollback_note.c_str());
    else
        std::fprintf(stderr,
                     "\n%sThe database could not be restored now (%s); the next lumerak "
                     "command restores it.\n",
                     cause, why.c_str());
    std::fflush(stderr);
}

void roll_back_after_error() { roll_back(""); }

}  // namespace

void changes_check_signal() {
    const int number = change_signal_pending();
    if (number == 0 || !journal_active()) return;
    char cause[48];
    std::snprintf(cause, sizeof cause, "Interrupted by signal %d. ", number);
    roll_back(cause);
    std::exit(128 + number);
}

void changes_forget() {
    if (journal_active()) end_change();
    journal_forget();
}

void db_changes_begin(const char* note) {
    if (journal_active()) return;
    journal_begin();
    rollback_note = note;
    error_set_exit_hook(roll_back_after_error);
    change_signals_catch();
}

void db_changes_commit() {
    if (!journal_active()) return;
    changes_check_signal();
    const bool journaled = journal_commit();
    const int number = change_signal_pending();
    end_change();
    if (journaled) journal_sync_removal();
    if (number != 0) std::raise(number);
}
