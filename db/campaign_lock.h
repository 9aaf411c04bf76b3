// One writer at a time in a campaign folder: a run that changes the database
// holds an exclusive lock on the lock file, a run that only reads it a shared
// one. A run that finds the lock taken waits for it, and gives up after a
// while rather than wait for ever behind a run that hangs.
#pragma once

inline constexpr const char* lock_name = "lumerak.lock";

// How long a run waits for another run's lock on the folder, in seconds.
inline constexpr int db_lock_wait_seconds = 60;

// Takes the lock of the campaign in the current folder for the rest of the
// process: exclusive for a run that changes the database, shared for one
// that only reads it. A run that finds the lock taken says so in one line and
// waits, at most db_lock_wait_seconds, then ends with an error. Then, if an
// interrupted run left its journal, restores the database as it was before
// that run and says so in one line; a damaged journal ends the run.
void db_campaign_lock(bool writing);
// Gives the lock up; what the end of the process does.
void db_campaign_unlock();
// How long a run waits for another run's lock before it gives up.
void campaign_set_lock_wait(int seconds);
