#include "fuzz/fuzz_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_set>
#include <vector>

#include "db/output_file.h"
#include "db/table.h"
#include "rinex/rinex_reader.h"
#include "pslib/pslib.h"
#include "support/error.h"

// The program's calls of these functions are routed through the wrappers
// below by the linker (--wrap), so that the harness sees every exit hook,
// heap block and stream of the code under test. mem_calloc and mem_free are
// named by their C++ symbols.
extern "C" {
void __real__Z19error_set_exit_hookPFvvE(exit_hook hook);
void* __real__Z10mem_callocmm(std::size_t count, std::size_t size);
void __real__Z8mem_freePv(void* block);
std::FILE* __real_fopen(const char* name, const char* mode);
int __real_fclose(std::FILE* stream);
}

namespace {

std::string folder;
int home = -1;  // the fuzzer's working folder
exit_hook engine_hook = nullptr;
// Where an error report leaves to: a command (or the release after one) is
// under way. The report ends it with an exception rather than a longjmp, so
// that the objects of the frames it leaves are destroyed as they would be
// released by the end of the process, and no heap block they hold counts as
// leaked.
bool escape = false;
struct ErrorEnd {};
bool tracking = false;
std::unordered_set<void*> blocks;
std::unordered_set<std::FILE*> streams;
std::unordered_set<int> descriptors;  // open before the command began
std::vector<int> placeholders;        // numbers of files released after an error

[[noreturn]] void return_to_harness() {
    if (!escape) std::abort();  // an error outside a command
    escape = false;
    throw ErrorEnd{};
}

// Runs where the process would end: the engine's write-back first, as in the
// real program, then back to the harness. An error inside the write-back
// returns at once, as it would end the process at once.
void harness_hook() {
    __real__Z19error_set_exit_hookPFvvE(return_to_harness);
    if (exit_hook hook = engine_hook) {
        engine_hook = nullptr;
        hook();
    }
    return_to_harness();
}

void clear(const std::string& path) {
    DIR* dir = opendir(path.c_str());
    if (!dir) return;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") unlink((path + "/" + name).c_str());
    }
    closedir(dir);
}

std::unordered_set<int> open_descriptors() {
    std::unordered_set<int> open;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) std::abort();
    const int own = dirfd(dir);
    while (const dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.' && std::atoi(entry->d_name) != own)
            open.insert(std::atoi(entry->d_name));
    closedir(dir);
    return open;
}

void remove_folder() {
    if (folder.empty()) return;
    clear(folder);
    rmdir(folder.c_str());
}

// Releases what an ended process would leave to the system. Streams are
// closed (and so flushed) as exit does; index pages are not written again.
void release_after_error() {
    // A record file whose buffered records cannot be written is reported
    // while it is closed; the rest is closed on the next round, as the end
    // of the process closes every file whatever fails.
    for (bool closed = false; !closed;) {
        escape = true;
        __real__Z19error_set_exit_hookPFvvE(return_to_harness);
        try {
            db_close_all();
            closed = true;
        } catch (const ErrorEnd&) {
        }
    }
    escape = false;
    for (std::FILE* stream : streams) __real_fclose(stream);
    streams.clear();
    output_abandon_all();
    for (void* block : blocks) __real__Z8mem_freePv(block);
    blocks.clear();
    ps_state = PsState{};
    read_rinex_release();
    // Files the command opened that no table or stream holds, such as an
    // index refused while it was being opened. Their numbers stay taken by
    // placeholders for a while, so that a module that kept one of them and
    // closes it later closes a file that was open before its command: the
    // check after that command then sees it, whatever opened in between.
    if (placeholders.size() > 32) {
        for (int fd : placeholders) close(fd);
        placeholders.clear();
    }
    const int empty = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (empty < 0) std::abort();
    for (int fd : open_descriptors()) {
        if (descriptors.contains(fd) || fd == empty) continue;
        if (dup2(empty, fd) < 0) std::abort();
        placeholders.push_back(fd);
    }
    close(empty);
}

[[noreturn]] void left_behind(const char* what, const char* thing, std::size_t count) {
    std::fprintf(stderr, "fuzz: %s returned with %zu %s left behind\n", what, count, thing);
    std::abort();
}

// Names every file the command left open, and every file open before it that
// it closed, so that the fault can be traced.
[[noreturn]] void files_changed(const char* what, const std::unordered_set<int>& now) {
    std::size_t count = 0;
    for (int fd : now) {
        if (descriptors.contains(fd)) continue;
        ++count;
        char target[512] = "?";
        const std::string link = "/proc/self/fd/" + std::to_string(fd);
        const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
        if (length >= 0) target[length] = '\0';
        std::fprintf(stderr, "fuzz: open file %d: %s\n", fd, target);
    }
    for (int fd : descriptors) {
        if (now.contains(fd)) continue;
        ++count;
        std::fprintf(stderr, "fuzz: file %d, open before, was closed by the command\n", fd);
    }
    std::fprintf(stderr, "fuzz: %s returned with %zu open files changed\n", what, count);
    std::abort();
}

}  // namespace

extern "C" void __wrap__Z19error_set_exit_hookPFvvE(exit_hook hook) { engine_hook = hook; }

extern "C" void* __wrap__Z10mem_callocmm(std::size_t count, std::size_t size) {
    void* block = __real__Z10mem_callocmm(count, size);
    if (tracking) blocks.insert(block);
    return block;
}

extern "C" void __wrap__Z8mem_freePv(void* block) {
    blocks.erase(block);
    __real__Z8mem_freePv(block);
}

extern "C" std::FILE* __wrap_fopen(const char* name, const char* mode) {
    std::FILE* stream = __real_fopen(name, mode);
    if (stream && tracking) streams.insert(stream);
    return stream;
}

extern "C" int __wrap_fclose(std::FILE* stream) {
    streams.erase(stream);
    return __real_fclose(stream);
}

void fuzz_make_private_folder() {
    // In memory where the system offers it: every input creates and removes
    // a dozen files, which on a disk file system soon costs more than the
    // code under test.
    char in_memory[] = "/dev/shm/lumerak-fuzz-XXXXXX";
    char on_disk[] = "/tmp/lumerak-fuzz-XXXXXX";
    home = open(".", O_RDONLY | O_DIRECTORY);
    char* name = mkdtemp(in_memory);
    if (!name) name = mkdtemp(on_disk);
    if (home < 0 || !name) {
        std::perror("fuzz: private folder");
        std::abort();
    }
    folder = name;
    std::atexit(remove_folder);
    // Reports go nowhere; the console copies are suppressed.
    report_stream = __real_fopen("/dev/null", "w");
    quiet = 1;
}

void fuzz_begin_input() {
    clear(folder);
    if (chdir(folder.c_str()) != 0) std::abort();
}

void fuzz_end_input() {
    if (fchdir(home) != 0) std::abort();
}

void fuzz_write_file(const char* name, const std::uint8_t* data, std::size_t size) {
    std::FILE* file = __real_fopen(name, "wb");
    if (!file || (size > 0 && std::fwrite(data, size, 1, file) != 1)) std::abort();
    __real_fclose(file);
}

bool fuzz_run_command(const char* what, void (*command)(void*), void* argument) {
    descriptors = open_descriptors();
    __real__Z19error_set_exit_hookPFvvE(harness_hook);
    engine_hook = nullptr;
    tracking = true;
    escape = true;
    try {
        command(argument);
    } catch (const ErrorEnd&) {
        tracking = false;
        release_after_error();
        return false;
    }
    escape = false;
    tracking = false;
    if (!db_all_closed()) left_behind(what, "open tables", 1);
    if (!streams.empty()) left_behind(what, "open streams", streams.size());
    if (!blocks.empty()) left_behind(what, "heap blocks", blocks.size());
    if (const auto now = open_descriptors(); now != descriptors) files_changed(what, now);
    return true;
}
