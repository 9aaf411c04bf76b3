// The check of the order of writes in a change: the journal says what each
// of its entries protects, the file layer says when the journal and the
// folder were synced, and every write, truncation, creation and removal of
// another file must find what it changes protected by entries on disk by
// then. A power loss at any point then leaves a journal that can put back
// every byte that reached the disk.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <iterator>
#include <map>
#include <string>

#include "db/fault_seam.h"
#include "db/file_io.h"
#include "db/seam_parts.h"

namespace {

struct Protection {
    bool created = false;        // the file did not exist before the change
    long original = -1;          // the length before the change, once noted
    std::map<long, long> saved;  // original bytes in the journal: start -> end
};
using Protections = std::map<std::string, Protection>;

bool in_change = false;
std::string journal;
bool journal_named = false;  // the folder was synced since the journal was opened
bool journal_opened = false;
Protections written;  // by the entries written to the journal
Protections synced;   // by the entries on disk when the journal was last synced

// Adds [from, to) to the saved ranges, merging neighbours.
void add_range(std::map<long, long>& saved, long from, long to) {
    auto it = saved.upper_bound(from);
    if (it != saved.begin() && std::prev(it)->second >= from) {
        --it;
        from = it->first;
        to = std::max(to, it->second);
        it = saved.erase(it);
    }
    while (it != saved.end() && it->first <= to) {
        to = std::max(to, it->second);
        it = saved.erase(it);
    }
    saved[from] = to;
}

bool covered(const std::map<long, long>& saved, long from, long to) {
    if (from >= to) return true;
    auto it = saved.upper_bound(from);
    return it != saved.begin() && std::prev(it)->second >= to;
}

[[noreturn]] void out_of_order(const char* what, const std::string& name, long position) {
    std::fprintf(stderr, "write order: %s %s at %ld before the journal protects it on disk\n", what,
                 name.c_str(), position);
    std::fflush(stderr);
    _exit(write_order_status);
}

// What the journal on disk protects of `name`; none outside a change (a
// rollback or a recovery restores from a journal, it writes none), and for
// the journal itself.
const Protection* on_disk(const std::string& name, bool& exempt) {
    exempt = !in_change || name == journal;
    if (exempt || !journal_named) return nullptr;
    const auto it = synced.find(name);
    return it == synced.end() ? nullptr : &it->second;
}

// Checks a change of the bytes [from, to) of `name` (to LONG_MAX: the file
// is cut to `from`), or its creation.
void check(const char* what, const std::string& name, long from, long to, bool creation = false) {
    bool exempt;
    const Protection* p = on_disk(name, exempt);
    if (exempt || (p && p->created)) return;
    if (!p || creation || p->original < 0 || !covered(p->saved, from, std::min(to, p->original)))
        out_of_order(what, name, from);
}

}  // namespace

void io_change_begun(const char* journal_name) {
    in_change = true;
    journal = journal_name;
    journal_named = false;
    journal_opened = false;
    written.clear();
    synced.clear();
}

void io_journal_protects_created(const char* name) { written[name].created = true; }

void io_journal_protects_length(const char* name, long length) {
    Protection& p = written[name];
    if (p.original < 0) p.original = length;
}

void io_journal_protects_bytes(const char* name, long position, std::size_t count) {
    add_range(written[name].saved, position, position + static_cast<long>(count));
}

void io_change_ended() { in_change = false; }

void write_order_check_open(const char* name, int flags) {
    if (!in_change) return;
    if (name == journal) {
        journal_opened = true;
        return;
    }
    if (!(flags & (O_CREAT | O_TRUNC))) return;
    if (access(name, F_OK) != 0)
        check("creation of", name, 0, 0, true);
    else if (flags & O_TRUNC)
        check("emptying of", name, 0, LONG_MAX);
}

void write_order_check_write(int fd, long position, std::size_t count) {
    check("write of", seam_name(seam_file(fd)), position, position + static_cast<long>(count));
}

void write_order_check_truncate(int fd, long length) {
    check("cut of", seam_name(seam_file(fd)), length, LONG_MAX);
}

void write_order_check_unlink(const char* name) { check("removal of", name, 0, LONG_MAX); }

void write_order_synced(int fd) {
    if (!in_change) return;
    if (fd < 0) {
        journal_named = journal_named || journal_opened;
        return;
    }
    if (seam_name(seam_file(fd)) == journal) synced = written;
}
