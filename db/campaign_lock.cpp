#include "db/campaign_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "db/journal.h"
#include "support/error.h"

namespace {

int lock_fd = -1;
int wait_seconds = db_lock_wait_seconds;

double now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

void take(int mode) {
    if (flock(lock_fd, mode | LOCK_NB) == 0) return;
    if (errno != EWOULDBLOCK) {
        std::perror("");
        fatal("Cannot lock %s\n", lock_name);
    }
    message("Waiting for another lumerak run in this folder to finish ...\n");
    const double deadline = now() + wait_seconds;
    while (flock(lock_fd, mode | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK) {
            std::perror("");
            fatal("Cannot lock %s\n", lock_name);
        }
        if (now() >= deadline)
            fatal("The folder is still in use by another lumerak run after %d s\n", wait_seconds);
        usleep(50 * 1000);
    }
}

}  // namespace

void db_campaign_lock(bool writing) {
    if (lock_fd >= 0) db_campaign_unlock();
    lock_fd = open(lock_name, O_RDWR | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH);
    if (lock_fd < 0) {
        // A folder the run may not write to cannot hold a run that writes
        // either; reading it needs no lock.
        if (!writing && (errno == EACCES || errno == EROFS)) {
            if (access(journal_name, F_OK) == 0)
                fatal("%s of an interrupted run needs a writable folder\n", journal_name);
            return;
        }
        std::perror("");
        fatal("Cannot create %s\n", lock_name);
    }
    if (writing) {
        take(LOCK_EX);
        journal_recover();
        return;
    }
    // A reader that finds a journal left behind restores it first, which
    // takes the exclusive lock.
    for (;;) {
        take(LOCK_SH);
        if (access(journal_name, F_OK) != 0) return;
        flock(lock_fd, LOCK_UN);
        take(LOCK_EX);
        journal_recover();
        flock(lock_fd, LOCK_UN);
    }
}

void db_campaign_unlock() {
    if (lock_fd >= 0) close(lock_fd);
    lock_fd = -1;
}

void campaign_set_lock_wait(int seconds) { wait_seconds = seconds; }
