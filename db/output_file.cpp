#include "db/output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <initializer_list>
#include <cstdlib>
#include <cstring>

#include "db/file_io.h"
#include "support/error.h"
#include "support/messages.h"

namespace {

constexpr char temp_prefix[] = ".lumerak-tmp.";

// One open output. `temp` is read by the signal handler, so a slot is marked
// used only once its name is complete and unmarked before it changes.
struct Slot {
    volatile std::sig_atomic_t used;
    int fd;
    std::FILE* file;
    long written;           // bytes so far
    long sent;              // bytes already handed to the disk

    char temp[PATH_MAX];    // "" when written in place
    char target[PATH_MAX];  // what the temporary replaces
    char name[PATH_MAX];    // the name as the caller gave it
    char buffer[1 << 16];   // the stream's: fewer, larger writes
};
constexpr int slot_count = 32;
Slot slots[slot_count];
long temp_number = 0;

void remove_temporaries() {
    for (Slot& s : slots)
        if (s.used && s.temp[0] != '\0') unlink(s.temp);
}

void end_by_signal(int number) {
    remove_temporaries();
    std::signal(number, SIG_DFL);
    std::raise(number);
}

// The temporaries go with the run however it ends, short of SIGKILL: at exit
// (error reports end through exit) and on the signals that end a run,
// unless something else handles them at the time (a database change, whose
// rollback ends through exit).
void remove_at_end() {
    static bool at_exit = false;
    if (!at_exit) std::atexit(remove_temporaries);
    at_exit = true;
    // Looked at for every output: a database change may have held the
    // signals at the first one and given them back since.
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction now {};
        if (sigaction(number, nullptr, &now) != 0 || now.sa_handler != SIG_DFL) continue;
        struct sigaction action {};
        action.sa_handler = end_by_signal;
        sigemptyset(&action.sa_mask);
        sigaction(number, &action, nullptr);
    }
}

// The disk starts on each megabyte as it is written, so that the sync at the
// end finds little left to wait for.
constexpr long writeback_step = 1 << 20;

ssize_t write_all(void* cookie, const char* data, std::size_t size) {
    Slot& s = *static_cast<Slot*>(cookie);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = io_output_write(s.fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    s.written += static_cast<long>(done);
    if (s.written - s.sent >= writeback_step && s.temp[0] != '\0') {
        io_start_writeback(s.fd, s.sent, s.written - s.sent);
        s.sent = s.written;
    }
    return static_cast<ssize_t>(done);  // short: the stream marks itself failed
}

int keep_descriptor(void*) { return 0; }

Slot* slot_of(std::FILE* file) {
    for (Slot& s : slots)
        if (s.used && s.file == file) return &s;
    return nullptr;
}

bool copy_text(char (&to)[PATH_MAX], const char* text) {
    if (std::strlen(text) >= PATH_MAX) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::strcpy(to, text);
    return true;
}

// Where the output goes: the temporary beside `target` (the file a link
// points to), or "" to write a name that is no plain file in place.
bool choose_files(Slot& s, const char* name) {
    s.temp[0] = '\0';
    if (!copy_text(s.name, name) || !copy_text(s.target, name)) return false;
    struct stat status {};
    if (lstat(name, &status) == 0 && S_ISLNK(status.st_mode)) {
        char resolved[PATH_MAX];
        if (realpath(name, resolved) == nullptr) return true;  // a dangling link
        std::strcpy(s.target, resolved);
    }
    if (stat(s.target, &status) == 0 && !S_ISREG(status.st_mode)) return true;
    const char* slash = std::strrchr(s.target, '/');
    const int folder = slash ? static_cast<int>(slash - s.target + 1) : 0;
    const int length = std::snprintf(s.temp, sizeof s.temp, "%.*s%s%ld.%ld", folder, s.target,
                                     temp_prefix, static_cast<long>(getpid()), ++temp_number);
    if (length >= static_cast<int>(sizeof s.temp)) {
        errno = ENAMETOOLONG;
        return false;
    }
    return true;
}

int open_file(const Slot& s) {
    constexpr mode_t everyone = 0666;  // less the umask, as a new file gets
    if (s.temp[0] == '\0') return open(s.target, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, everyone);
    const int fd = open(s.temp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, everyone);
    // A file replaced keeps its permissions.
    struct stat before {};
    if (fd >= 0 && stat(s.target, &before) == 0) fchmod(fd, before.st_mode & 07777);
    return fd;
}

void release(Slot& s, bool remove) {
    close(s.fd);
    if (remove && s.temp[0] != '\0') unlink(s.temp);
    s.used = 0;
    s.file = nullptr;
}

}  // namespace

std::FILE* output_open(const char* name) {
    Slot* free_slot = nullptr;
    for (Slot& s : slots)
        if (!s.used) {
            free_slot = &s;
            break;
        }
    if (!free_slot) {
        errno = EMFILE;
        return nullptr;
    }
    Slot& s = *free_slot;
    remove_at_end();
    if (!choose_files(s, name)) return nullptr;
    s.fd = open_file(s);
    if (s.fd < 0) return nullptr;
    s.written = 0;
    s.sent = 0;
    s.used = 1;
    const cookie_io_functions_t calls = {nullptr, write_all, nullptr, keep_descriptor};
    s.file = fopencookie(&s, "w", calls);
    if (!s.file) {
        const int error = errno;
        release(s, true);
        errno = error;
        return nullptr;
    }
    std::setvbuf(s.file, s.buffer, _IOFBF, sizeof s.buffer);
    return s.file;
}

bool output_commit(std::FILE* file) {
    Slot* s = slot_of(file);
    if (!s) {
        errno = EBADF;
        return false;
    }
    bool ok = std::fflush(file) == 0 && !std::ferror(file);
    int error = errno;
    std::fclose(file);
    const bool in_place = s->temp[0] == '\0';
    if (ok && !in_place && io_output_sync(s->fd) != 0) {
        ok = false;
        error = errno;
    }
    if (ok && !in_place && io_output_rename(s->temp, s->target) != 0) {
        ok = false;
        error = errno;
    }
    release(*s, !ok);
    errno = error;
    return ok;
}

void output_abandon(std::FILE* file) {
    Slot* s = slot_of(file);
    if (!s) return;
    std::fclose(file);  // what is still buffered goes to the temporary
    release(*s, true);
}

std::FILE* output_create(const char* name) {
    std::FILE* file = output_open(name);
    if (!file) error_exit(msg_open_failed, name, std::strerror(errno));
    return file;
}

void output_finish(std::FILE* file) {
    const Slot* s = slot_of(file);
    char name[PATH_MAX];
    std::strcpy(name, s ? s->name : "?");
    if (output_commit(file)) return;
    std::perror("");
    fatal("Write failure on file %s\n", name);
}

const char* output_written_file(std::FILE* file) {
    const Slot* s = slot_of(file);
    if (!s) return nullptr;
    return s->temp[0] != '\0' ? s->temp : s->target;
}

void output_abandon_all() {
    for (Slot& s : slots)
        if (s.used) output_abandon(s.file);
}

void output_sweep() {
    DIR* folder = opendir(".");
    if (!folder) return;
    const long own = static_cast<long>(getpid());
    while (const dirent* entry = readdir(folder)) {
        if (std::strncmp(entry->d_name, temp_prefix, sizeof temp_prefix - 1) != 0) continue;
        long pid = 0;
        long number = 0;
        char end = 0;
        if (std::sscanf(entry->d_name + sizeof temp_prefix - 1, "%ld.%ld%c", &pid, &number, &end) != 2)
            continue;
        if (pid <= 0 || pid == own) continue;
        if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) unlink(entry->d_name);
    }
    closedir(folder);
}
