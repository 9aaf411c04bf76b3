#include "db/journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "db/campaign_lock.h"
#include "db/file_io.h"
#include "support/error.h"

namespace {

constexpr char header_magic[8] = {'L', 'U', 'M', 'J', 'R', 'N', 'L', '\0'};
constexpr std::uint32_t journal_version = 1;
constexpr std::size_t header_bytes = 32;
constexpr std::uint32_t entry_magic = 0x59524e45;
constexpr std::size_t entry_head_bytes = 32;
constexpr std::uint32_t kind_length = 1;
constexpr std::uint32_t kind_image = 2;
constexpr std::uint32_t kind_created = 3;
constexpr std::size_t max_name_bytes = 255;
constexpr std::size_t max_data_bytes = 1 << 20;
constexpr std::size_t save_chunk = 1 << 16;

struct EntryHead {
    std::uint32_t magic;
    std::uint32_t kind;
    std::uint32_t name_bytes;
    std::uint32_t data_bytes;
    std::int64_t position;
    std::uint32_t sequence;
    std::uint32_t crc;
};
static_assert(sizeof(EntryHead) == entry_head_bytes && offsetof(EntryHead, crc) == 28);

struct Tracked {
    std::string name;
    long original = 0;         // length before the run
    bool created = false;      // did not exist before the run
    bool whole_saved = false;  // every original byte is in the journal
    bool written = false;
    long written_back = 0;           // the writeback of the bytes before this was started
    int sync_fd = -1;                // closed by the run, synced at the commit
    std::unordered_set<long> saved;  // positions whose original bytes are saved
};

bool active = false;
std::vector<Tracked> tracked;
int journal_fd = -1;
std::uint32_t next_sequence = 0;
bool journal_dirty = false;  // entries written since the last sync
bool folder_synced = false;  // the journal's own name is on disk

[[noreturn]] void journal_write_failed() {
    std::perror("");
    fatal("Write failure on file %s\n", journal_name);
}

void write_all(const std::string& bytes) {
    if (io_write(journal_fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        journal_write_failed();
}

std::string header_image(std::uint32_t synced) {
    std::string header(header_bytes, '\0');
    std::memcpy(header.data(), header_magic, sizeof header_magic);
    const std::uint32_t words[3] = {journal_version, header_bytes, synced};
    std::memcpy(header.data() + 8, words, sizeof words);
    const std::uint32_t crc = journal_crc32(header.data(), 28);
    std::memcpy(header.data() + 28, &crc, 4);
    return header;
}

void open_journal() {
    if (journal_fd >= 0) return;
    journal_fd = io_open(journal_name, O_RDWR | O_CREAT | O_TRUNC, S_IRUSR | S_IWUSR);
    if (journal_fd < 0) {
        std::perror("");
        fatal("Cannot create journal %s\n", journal_name);
    }
    write_all(header_image(0));
    journal_dirty = true;
}

void add_entry(std::uint32_t kind, const std::string& name, long position, const void* data,
               std::size_t data_bytes) {
    open_journal();
    EntryHead head{entry_magic,
                   kind,
                   static_cast<std::uint32_t>(name.size()),
                   static_cast<std::uint32_t>(data_bytes),
                   position,
                   next_sequence,
                   0};
    std::string entry(reinterpret_cast<const char*>(&head), entry_head_bytes);
    entry += name;
    entry.append(static_cast<const char*>(data), data_bytes);
    std::uint32_t crc = journal_crc32(entry.data(), 28);
    crc = journal_crc32(entry.data() + entry_head_bytes, entry.size() - entry_head_bytes, crc);
    std::memcpy(entry.data() + 28, &crc, 4);
    write_all(entry);
    if (kind == kind_created)
        io_journal_protects_created(name.c_str());
    else if (kind == kind_length)
        io_journal_protects_length(name.c_str(), position);
    else
        io_journal_protects_bytes(name.c_str(), position, data_bytes);
    ++next_sequence;
    journal_dirty = true;
}

// Puts the entries on disk, then the count of them in the header: an entry
// the header counts was complete on disk, so damage there is damage, while
// an entry beyond the count may be the unfinished end of the journal.
void sync_journal() {
    if (!journal_dirty) return;
    if (io_fsync(journal_fd) != 0) journal_write_failed();
    if (!folder_synced) {
        if (io_sync_folder() != 0) journal_write_failed();
        folder_synced = true;
    }
    const std::string header = header_image(next_sequence);
    if (io_pwrite(journal_fd, header.data(), header.size(), 0) !=
            static_cast<ssize_t>(header.size()) ||
        io_fsync(journal_fd) != 0)
        journal_write_failed();
    journal_dirty = false;
}

// Journaled files lie in the campaign folder: a plain name, and never the
// journal or the lock file themselves.
bool plain_name(const std::string& name) {
    return !name.empty() && name.size() <= max_name_bytes && name.find('/') == std::string::npos &&
           name != "." && name != ".." && name != journal_name && name != lock_name &&
           name.find('\0') == std::string::npos;
}

int find_tracked(const char* name) {
    for (std::size_t i = 0; i < tracked.size(); ++i)
        if (tracked[i].name == name) return static_cast<int>(i);
    return -1;
}

int add_tracked(const char* name) {
    if (!plain_name(name)) fatal("Cannot journal changes of file %.40s\n", name);
    tracked.push_back(Tracked{});
    tracked.back().name = name;
    return static_cast<int>(tracked.size() - 1);
}

// Saves the original bytes of a file opened for change, nothing of which
// has been overwritten yet; the file is read by name, so what the run
// appended after its old end does not matter.
void save_original(Tracked& t) {
    const int fd = open(t.name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::perror("");
        fatal("Read failure on file %s\n", t.name.c_str());
    }
    std::vector<char> chunk(save_chunk);
    for (long at = 0; at < t.original; at += static_cast<long>(save_chunk)) {
        const std::size_t want = std::min<std::size_t>(save_chunk, t.original - at);
        if (pread(fd, chunk.data(), want, at) != static_cast<ssize_t>(want)) {
            std::perror("");
            close(fd);
            fatal("Read failure on file %s\n", t.name.c_str());
        }
        add_entry(kind_image, t.name, at, chunk.data(), want);
    }
    close(fd);
    t.whole_saved = true;
}

// Each sync of the journal costs a wait for the disk. Before one is made,
// the small files of the run that have no saved bytes yet are saved whole,
// so that the writes to them later in the run need no sync of their own.
void save_small_files() {
    for (Tracked& t : tracked)
        if (!t.created && !t.whole_saved && t.saved.empty() && t.original > 0 &&
            t.original <= journal_whole_file_bytes)
            save_original(t);
}

// Saves the whole content of an existing file that is about to be emptied.
void save_whole(Tracked& t) {
    struct stat status {};
    if (stat(t.name.c_str(), &status) != 0) {
        std::perror("");
        fatal("Read failure on file %s\n", t.name.c_str());
    }
    t.original = static_cast<long>(status.st_size);
    add_entry(kind_length, t.name, t.original, nullptr, 0);
    save_original(t);
}

// ---- Reading a journal back and restoring from it.

struct Entry {
    std::uint32_t kind;
    std::string name;
    long position;
    std::string data;
};

bool read_whole(const char* name, std::string& bytes) {
    const int fd = open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[1 << 14];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, static_cast<std::size_t>(got));
    close(fd);
    return got == 0;
}

// What a journal holds: the entries to restore from, and how it ends.
struct Parsed {
    enum class End {
        complete,    // after its last entry
        unfinished,  // in an entry beyond those the header counts as on disk
        unstarted,   // before a complete header: the run changed nothing
        damaged,     // in its header or an entry it counts as on disk
    } end = End::complete;
    std::vector<Entry> entries;
    std::string why;  // the damaged part; the first entry left out when unfinished
};

// Reads the entry at `at` into `e`; its size, or 0 when it is not a sound
// entry with sequence number `sequence` (cut short by the end of the file,
// say). A run notes each file once, as created or with its length, before
// any image of it; an image lies within the file's old length.
std::size_t read_entry(const std::string& bytes, std::size_t at, std::uint32_t sequence,
                       std::map<std::string, long>& lengths, std::set<std::string>& created,
                       Entry& e) {
    if (bytes.size() - at < entry_head_bytes) return 0;
    EntryHead head;
    std::memcpy(&head, bytes.data() + at, entry_head_bytes);
    if (head.magic != entry_magic || head.name_bytes > max_name_bytes ||
        head.data_bytes > max_data_bytes || head.sequence != sequence)
        return 0;
    const std::size_t size = entry_head_bytes + head.name_bytes + head.data_bytes;
    if (bytes.size() - at < size) return 0;
    std::uint32_t sum = journal_crc32(bytes.data() + at, 28);
    sum = journal_crc32(bytes.data() + at + entry_head_bytes, size - entry_head_bytes, sum);
    e = Entry{head.kind, bytes.substr(at + entry_head_bytes, head.name_bytes),
              static_cast<long>(head.position),
              bytes.substr(at + entry_head_bytes + head.name_bytes, head.data_bytes)};
    const bool kind_sound =
        (e.kind == kind_length && e.data.empty() && e.position >= 0) ||
        (e.kind == kind_image && e.position >= 0 && head.position <= INT32_MAX) ||
        (e.kind == kind_created && e.data.empty());
    if (sum != head.crc || !kind_sound || !plain_name(e.name)) return 0;
    const bool noted = lengths.contains(e.name) || created.contains(e.name);
    if (e.kind == kind_length && !noted)
        lengths[e.name] = e.position;
    else if (e.kind == kind_created && !noted)
        created.insert(e.name);
    else if (e.kind != kind_image || !lengths.contains(e.name) ||
             e.position + static_cast<long>(e.data.size()) > lengths[e.name])
        return 0;
    return size;
}

// Checks the journal entry by entry up to its end: the end of the file, or
// the first entry that is not sound. No byte of the database is written
// before the entries that protect it are on disk, so an entry beyond those
// the header counts protects nothing that was written, and neither does any
// entry after it: the journal ends there. Nothing is restored from a
// journal until all of it is checked.
Parsed parse_journal(const std::string& bytes) {
    Parsed p;
    // A header that never reached the disk is cut short, or all zero where
    // the entries written after it did reach it: nothing was synced, so
    // nothing of the database was changed.
    if (bytes.size() < header_bytes || bytes.find_first_not_of('\0', 0) >= header_bytes) {
        p.end = Parsed::End::unstarted;
        return p;
    }
    std::uint32_t words[3];
    std::memcpy(words, bytes.data() + 8, sizeof words);
    std::uint32_t crc;
    std::memcpy(&crc, bytes.data() + 28, 4);
    if (std::memcmp(bytes.data(), header_magic, sizeof header_magic) != 0 ||
        crc != journal_crc32(bytes.data(), 28) || words[0] != journal_version ||
        words[1] != header_bytes) {
        p.end = Parsed::End::damaged;
        p.why = "header";
        return p;
    }
    const std::uint32_t synced = words[2];
    std::map<std::string, long> lengths;
    std::set<std::string> created;
    std::size_t at = header_bytes;
    for (std::uint32_t sequence = 0;; ++sequence) {
        Entry e;
        const std::size_t size =
            at < bytes.size() ? read_entry(bytes, at, sequence, lengths, created, e) : 0;
        if (size == 0) {
            if (sequence < synced) {
                p.end = Parsed::End::damaged;
                p.why = "entry " + std::to_string(sequence);
            } else if (at < bytes.size()) {
                p.end = Parsed::End::unfinished;
                p.why = std::to_string(sequence);
            }
            return p;
        }
        p.entries.push_back(std::move(e));
        at += size;
    }
}

// Puts back what the entries saved, newest first so that the first image of
// a place wins; cuts the files back and removes those the run created. On a
// failure the journal stays for the next attempt: every step can be redone.
bool restore(const std::vector<Entry>& entries, std::string& why) {
    std::map<std::string, int> files;
    bool ok = true;
    auto file = [&](const std::string& name) {
        auto it = files.find(name);
        if (it != files.end()) return it->second;
        const int fd = io_open(name.c_str(), O_WRONLY, 0);
        files[name] = fd;
        return fd;
    };
    bool removed = false;
    for (auto e = entries.rbegin(); ok && e != entries.rend(); ++e) {
        if (e->kind == kind_created) {
            if (const auto it = files.find(e->name); it != files.end()) {
                if (it->second >= 0) close(it->second);
                files.erase(it);
            }
            ok = io_unlink(e->name.c_str()) == 0 || errno == ENOENT;
            removed = true;
        } else if (e->kind == kind_image) {
            const int fd = file(e->name);
            ok = fd >= 0 && io_pwrite(fd, e->data.data(), e->data.size(), e->position) ==
                                static_cast<ssize_t>(e->data.size());
        }
        if (!ok) why = e->name;
    }
    // Lengths last: the first noted length of a file is the one before the run.
    for (auto e = entries.rbegin(); ok && e != entries.rend(); ++e) {
        if (e->kind != kind_length) continue;
        const int fd = file(e->name);
        ok = fd >= 0 && io_ftruncate(fd, e->position) == 0;
        if (!ok) why = e->name;
    }
    for (const auto& [name, fd] : files) {
        if (fd < 0) continue;
        if (ok && io_fsync(fd) != 0) {
            ok = false;
            why = name;
        }
        close(fd);
    }
    if (ok && removed && io_sync_folder() != 0) ok = false, why = "folder";
    if (ok && io_unlink(journal_name) != 0) ok = false, why = journal_name;
    if (ok && io_sync_folder() != 0) ok = false, why = "folder";
    return ok;
}

enum class Replay { restored, damaged, failed };

// Restores the database from the journal file; `why` names the damage or
// the file that could not be restored.
Replay replay(Parsed& parsed) {
    std::string bytes;
    if (!read_whole(journal_name, bytes)) {
        parsed.why = "unreadable";
        return Replay::failed;
    }
    parsed = parse_journal(bytes);
    if (parsed.end == Parsed::End::damaged) return Replay::damaged;
    return restore(parsed.entries, parsed.why) ? Replay::restored : Replay::failed;
}

void end_changes() {
    active = false;
    for (const Tracked& t : tracked)
        if (t.sync_fd >= 0) close(t.sync_fd);
    tracked.clear();
    next_sequence = 0;
    journal_dirty = false;
    folder_synced = false;
    if (journal_fd >= 0) close(journal_fd);
    journal_fd = -1;
    io_change_ended();
}

}  // namespace

std::uint32_t journal_crc32(const void* data, std::size_t size, std::uint32_t crc) {
    static std::uint32_t table[256];
    if (table[1] == 0) {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
    }
    crc = ~crc;
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ bytes[i]) & 0xff] ^ (crc >> 8);
    return ~crc;
}

bool journal_active() { return active; }

int journal_before_create(const char* name) {
    const int known = find_tracked(name);
    if (known >= 0) {
        tracked[known].written = true;
        return known;
    }
    const int id = add_tracked(name);
    Tracked& t = tracked[id];
    if (access(name, F_OK) == 0) {
        save_whole(t);
    } else {
        t.created = true;
        add_entry(kind_created, t.name, 0, nullptr, 0);
    }
    t.written = true;
    sync_journal();
    return id;
}

int journal_track(const char* name, long length) {
    const int known = find_tracked(name);
    if (known >= 0) return known;
    const int id = add_tracked(name);
    tracked[id].original = length;
    tracked[id].written_back = length & ~4095L;
    add_entry(kind_length, tracked[id].name, length, nullptr, 0);
    return id;
}

void journal_note_write(int id, int fd, long position, std::size_t count) {
    Tracked& t = tracked[id];
    t.written = true;
    // The disk takes the run's writes while the run goes on.
    const long behind = (position + static_cast<long>(count) - journal_writeback_lag) & ~4095L;
    if (behind - t.written_back >= journal_writeback_bytes) {
        io_start_writeback(fd, t.written_back, behind - t.written_back);
        t.written_back = behind;
    }
    if (t.created || t.whole_saved || position >= t.original || t.saved.contains(position)) return;
    // A sync of the journal follows before this write: small files go
    // along with it.
    save_small_files();
    if (t.whole_saved) return;
    const std::size_t want = std::min<std::size_t>(count, t.original - position);
    std::vector<char> original(want);
    if (pread(fd, original.data(), want, position) != static_cast<ssize_t>(want)) {
        std::perror("");
        fatal("Read failure on file %s\n", t.name.c_str());
    }
    add_entry(kind_image, t.name, position, original.data(), want);
    t.saved.insert(position);
}

void journal_sync() {
    if (journal_dirty) save_small_files();
    sync_journal();
}

void journal_before_write(int id, int fd, long position, std::size_t count) {
    journal_note_write(id, fd, position, count);
    journal_sync();
}

bool journal_written(int id) { return tracked[id].written; }

bool journal_sync_at_commit(int id, int fd) {
    // Outside a change nothing is committed, so no descriptor is kept for it.
    if (!active) return true;
    Tracked& t = tracked[id];
    if (t.sync_fd >= 0) return true;
    t.sync_fd = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    return t.sync_fd >= 0;
}

void journal_recover() {
    if (access(journal_name, F_OK) != 0) return;
    Parsed parsed;
    const Replay result = replay(parsed);
    if (result == Replay::damaged) {
        message(
            "The journal %s of an interrupted run is damaged in a part that was\n"
            "complete on disk: the database cannot be restored from it and may hold part\n"
            "of that run. Restore the folder from a backup made before that run, or start\n"
            "the campaign again: remove %s and the zz* files, then read the\n"
            "observation files again.\n",
            journal_name, journal_name);
        fatal("Damaged journal %s (%.30s)\n", journal_name, parsed.why.c_str());
    }
    if (result == Replay::failed)
        fatal("Cannot restore the database from %s (%.30s)\n", journal_name, parsed.why.c_str());
    if (parsed.end == Parsed::End::unstarted)
        message("Removed the journal of an interrupted run that had changed nothing.\n");
    else if (parsed.end == Parsed::End::unfinished)
        message(
            "Restored the database as it was before an interrupted run (its journal ends "
            "in the unfinished entry %s).\n",
            parsed.why.c_str());
    else
        message("Restored the database as it was before an interrupted run.\n");
}

void journal_forget() {
    if (active) end_changes();
}

void journal_begin() {
    active = true;
    io_change_begun(journal_name);
}

bool journal_commit() {
    // Every table of the command is closed by now. The files it changed go
    // to the disk together: the writeback of all of them is started before
    // the first sync waits.
    for (const Tracked& t : tracked)
        if (t.sync_fd >= 0) io_start_writeback(t.sync_fd, t.written_back, 0);
    for (const Tracked& t : tracked) {
        if (t.sync_fd >= 0 && io_fsync(t.sync_fd) != 0) {
            std::perror("");
            fatal("Write failure on file %s\n", t.name.c_str());
        }
    }
    const bool created = [] {
        for (const Tracked& t : tracked)
            if (t.created) return true;
        return false;
    }();
    const bool journaled = journal_fd >= 0;
    if (journaled) {
        if (created && io_sync_folder() != 0) journal_write_failed();
        // Removing the journal is the commit; while it is there, the run
        // is rolled back.
        if (io_unlink(journal_name) != 0) {
            std::perror("");
            fatal("Cannot remove journal %s\n", journal_name);
        }
    }
    end_changes();
    return journaled;
}

void journal_sync_removal() {
    if (io_sync_folder() != 0)
        message("Warning: the removal of %s may not be on disk yet.\n", journal_name);
}

bool journal_roll_back(std::string& why) {
    const bool journaled = journal_fd >= 0;
    end_changes();
    if (!journaled) return true;
    Parsed parsed;
    const Replay result = replay(parsed);
    why = parsed.why;
    return result == Replay::restored;
}
