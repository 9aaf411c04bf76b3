// SIGINT, SIGTERM and SIGHUP while a command changes the database: the
// handlers only note the signal, so that the change ends where it can be
// rolled back (table_changes.cpp), with the status the signal would give.
#pragma once

// Installs the handlers; no signal is pending after it.
void change_signals_catch();
// Puts back the handlers from before change_signals_catch.
void change_signals_restore();
// The signal caught last since change_signals_catch, or 0.
int change_signal_pending();
