// The power-loss simulator of the fault seam: a log of what the file layer
// did to the files of the current folder, and the folder a power loss at any
// point of that log can leave.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "db/fault_seam.h"
#include "db/seam_parts.h"

namespace {

// The largest piece a write reaches the disk in when it is torn, and the
// most a stream's buffer holds before the C library writes it out.
constexpr long piece_bytes = 4096;

enum class OpKind { write, truncate, create, remove, sync, sync_folder };

struct Op {
    OpKind kind;
    int file;           // index in `files`; -1 for a sync of a file the log never touched
    long position = 0;  // write: where; truncate: the new length
    std::string bytes;  // write: what
    std::string name;   // create, remove
    bool buffered = false;
};

struct File {
    std::string name;      // the name it had when the log first touched it
    std::string original;  // its content then
    bool existed;          // it was there before the log began
};

bool recording = false;
std::vector<File> files;
std::map<SeamFile, int> by_identity;
std::vector<Op> ops;

void add(OpKind kind, int file, long position = 0, const std::string& name = "") {
    ops.push_back(Op{kind, file, position, "", name, false});
}

// The content of the file open as `fd`, read through a descriptor of its
// own, since `fd` may be open for writing only.
std::string read_all(int fd) {
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    fd = open(link.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::perror(link.c_str());
        std::abort();
    }
    std::string bytes;
    char buffer[1 << 14];
    off_t at = 0;
    ssize_t got;
    while ((got = pread(fd, buffer, sizeof buffer, at)) > 0) {
        bytes.append(buffer, static_cast<std::size_t>(got));
        at += got;
    }
    close(fd);
    return bytes;
}

// The log's number for the file, noting its content the first time.
int touched(SeamFile identity, const std::string& name, int fd) {
    const auto it = by_identity.find(identity);
    if (it != by_identity.end()) return it->second;
    files.push_back(File{name, read_all(fd), true});
    by_identity[identity] = static_cast<int>(files.size() - 1);
    return static_cast<int>(files.size() - 1);
}

int touched(int fd) {
    const SeamFile identity = seam_file(fd);
    return touched(identity, seam_name(identity), fd);
}

int touched(const char* name) {
    const int fd = open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    const int file = touched(seam_file(fd), name, fd);
    close(fd);
    return file;
}

void apply_op(std::string& content, const Op& op, long from, long to) {
    if (op.kind == OpKind::truncate) {
        content.resize(static_cast<std::size_t>(op.position));
        return;
    }
    if (static_cast<long>(content.size()) < to) content.resize(static_cast<std::size_t>(to));
    content.replace(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from), op.bytes,
                    static_cast<std::size_t>(from - op.position),
                    static_cast<std::size_t>(to - from));
}

void apply_op(std::string& content, const Op& op) {
    apply_op(content, op, op.position, op.position + static_cast<long>(op.bytes.size()));
}

// Applies what survives of the writes after a file's last sync.
void apply_surviving(std::string& content, const std::vector<int>& pending, PowerLossKeep keep,
                     std::mt19937& coin) {
    for (int k : pending) {
        const Op& op = ops[k];
        if (keep == PowerLossKeep::none) return;
        if (keep == PowerLossKeep::all || (keep == PowerLossKeep::whole && coin() % 2)) {
            apply_op(content, op);
        } else if (keep == PowerLossKeep::torn) {
            if (op.kind == OpKind::truncate) {
                if (coin() % 2) apply_op(content, op);
                continue;
            }
            const long end = op.position + static_cast<long>(op.bytes.size());
            for (long from = op.position; from < end;) {
                const long to = std::min(end, (from / piece_bytes + 1) * piece_bytes);
                if (coin() % 2) apply_op(content, op, from, to);
                from = to;
            }
        }
    }
}

}  // namespace

void power_loss_record() {
    files.clear();
    by_identity.clear();
    ops.clear();
    recording = true;
}

void power_loss_stop() { recording = false; }

long power_loss_operations() { return static_cast<long>(ops.size()); }

PowerLossFiles power_loss_files(long n, PowerLossKeep keep, unsigned seed) {
    std::vector<std::string> content(files.size());
    std::vector<std::vector<int>> pending(files.size());
    std::map<std::string, int> folder;  // name -> file on disk
    std::set<std::string> named;        // every name the log touched
    for (std::size_t i = 0; i < files.size(); ++i) {
        content[i] = files[i].original;
        named.insert(files[i].name);
        if (files[i].existed) folder[files[i].name] = static_cast<int>(i);
    }
    std::vector<int> folder_pending;
    for (long k = 0; k < n && k < static_cast<long>(ops.size()); ++k) {
        const Op& op = ops[k];
        switch (op.kind) {
        case OpKind::write:
        case OpKind::truncate: pending[op.file].push_back(static_cast<int>(k)); break;
        case OpKind::sync:
            if (op.file < 0) break;
            for (int p : pending[op.file]) apply_op(content[op.file], ops[p]);
            pending[op.file].clear();
            break;
        case OpKind::create:
        case OpKind::remove: folder_pending.push_back(static_cast<int>(k)); break;
        case OpKind::sync_folder:
            for (int p : folder_pending) {
                if (ops[p].kind == OpKind::create)
                    folder[ops[p].name] = ops[p].file;
                else
                    folder.erase(ops[p].name);
            }
            folder_pending.clear();
            break;
        }
    }
    for (const Op& op : ops)
        if (!op.name.empty()) named.insert(op.name);
    std::mt19937 coin(seed * 7919u + static_cast<unsigned>(n));
    for (std::size_t i = 0; i < files.size(); ++i)
        apply_surviving(content[i], pending[i], keep, coin);
    PowerLossFiles lost;
    for (const std::string& name : named) {
        const auto it = folder.find(name);
        if (it == folder.end())
            lost.gone.insert(name);
        else
            lost.there[name] = content[it->second];
    }
    return lost;
}

void power_loss_before_open(const char* name, int flags) {
    if (recording && (flags & O_TRUNC) && access(name, F_OK) == 0) {
        const int file = touched(name);
        add(OpKind::truncate, file);
    }
}

void power_loss_opened(SeamFile identity, const char* name, int flags) {
    if (!recording || !(flags & O_CREAT) || by_identity.contains(identity)) return;
    // Not touched before the open, so created by it (an emptied file was
    // touched before).
    files.push_back(File{name, "", false});
    const int file = static_cast<int>(files.size() - 1);
    by_identity[identity] = file;
    add(OpKind::create, file, 0, name);
}

void power_loss_before_unlink(const char* name) {
    if (!recording) return;
    const int file = touched(name);
    if (file >= 0) add(OpKind::remove, file, 0, name);
}

void power_loss_before_write(int fd, long position, const void* data, std::size_t count,
                             bool buffered) {
    if (!recording) return;
    const int file = touched(fd);
    const char* bytes = static_cast<const char*>(data);
    if (buffered && !ops.empty()) {
        Op& last = ops.back();
        const long end = last.position + static_cast<long>(last.bytes.size());
        if (last.kind == OpKind::write && last.buffered && last.file == file && end == position &&
            static_cast<long>(last.bytes.size() + count) <= piece_bytes) {
            last.bytes.append(bytes, count);
            return;
        }
    }
    ops.push_back(Op{OpKind::write, file, position, std::string(bytes, count), "", buffered});
}

void power_loss_before_truncate(int fd, long length) {
    if (recording) add(OpKind::truncate, touched(fd), length);
}

void power_loss_synced(int fd) {
    if (!recording) return;
    if (fd < 0) {
        add(OpKind::sync_folder, -1);
        return;
    }
    const auto it = by_identity.find(seam_file(fd));
    add(OpKind::sync, it == by_identity.end() ? -1 : it->second);
}
