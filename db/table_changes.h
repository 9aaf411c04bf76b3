// The table layer's part of a change of the database (table_changes.cpp)
// that the table operations call.
#pragma once

// A pending SIGINT, SIGTERM or SIGHUP ends the run here with a rollback.
void changes_check_signal();
// Forgets a change without restoring anything; what the end of the process
// does (db_close_all).
void changes_forget();
