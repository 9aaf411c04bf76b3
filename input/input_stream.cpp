#include "input/input_stream.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace input {

namespace {

constexpr std::size_t read_block = 64 * 1024;

std::string quoted(const std::string& path) { return "'" + path + "'"; }

}  // namespace

const char* compression_name(Compression c) {
    switch (c) {
    case Compression::gzip: return "gzip";
    case Compression::compress: return "compress";
    case Compression::none: break;
    }
    return "plain";
}

Compression detect_compression(const unsigned char* head, std::size_t size) {
    if (size < 2 || head[0] != 0x1f) return Compression::none;
    if (head[1] == 0x8b) return Compression::gzip;
    if (head[1] == 0x9d) return Compression::compress;
    return Compression::none;
}

// Reads from a descriptor, retrying after signals. -1 with errno on an error.
static long read_fd(int fd, char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(fd, buffer, size);
        if (got >= 0 || errno != EINTR) return static_cast<long>(got);
    }
}

// The decompression state of one compressed file. It is used by one thread at
// a time: set up by open() on the caller's thread, then driven only by the
// decompressing thread (or by the caller when no thread could be started),
// and torn down after that thread has been joined.
struct InputStream::Decoder {
    int fd = -1;
    std::string path;
    Compression kind = Compression::none;
    std::string error;

    // gzip
    z_stream z{};
    bool started = false;
    bool member_done = false;  // between members
    bool padding = false;      // zero bytes seen after the last member
    bool file_end = false;
    std::vector<unsigned char> input;

    // Unix compress
    archive* ar = nullptr;
    bool at_end = false;

    ~Decoder() {
        if (started) inflateEnd(&z);
        if (ar != nullptr) archive_read_free(ar);
    }

    long fail(const std::string& text) {
        if (error.empty()) error = text;
        return -1;
    }

    // Up to `size` bytes of content; 0 at its end, -1 with `error` set.
    long read(char* buffer, std::size_t size) {
        if (!error.empty()) return -1;
        if (size == 0 || at_end) return 0;
        return kind == Compression::gzip ? read_gzip(buffer, size) : read_archive(buffer, size);
    }

    long read_archive(char* buffer, std::size_t size) {
        const la_ssize_t got = archive_read_data(ar, buffer, size);
        if (got < 0) {
            // Warnings are errors as well: a stream that is only partly right
            // must not pass as a shorter file.
            const char* why = archive_error_string(ar);
            return fail(quoted(path) + ": damaged or cut " + compression_name(kind) + " stream" +
                        (why != nullptr ? std::string(" (") + why + ")" : std::string()));
        }
        if (got == 0) at_end = true;
        return static_cast<long>(got);
    }

    long read_gzip(char* buffer, std::size_t size) {
        const uInt want = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = want;
        for (;;) {
            if (z.avail_in == 0 && !file_end) {
                const long got = read_fd(fd, reinterpret_cast<char*>(input.data()), input.size());
                if (got < 0) return fail(quoted(path) + " " + std::strerror(errno));
                if (got == 0) file_end = true;
                z.next_in = input.data();
                z.avail_in = static_cast<uInt>(got);
            }
            if (member_done) {
                // After a member: another member, zero padding, or the end.
                if (z.avail_in == 0) {
                    at_end = true;
                    return static_cast<long>(want - z.avail_out);
                }
                if (*z.next_in == 0) {
                    padding = true;
                    ++z.next_in;
                    --z.avail_in;
                    continue;
                }
                if (padding) return fail(quoted(path) + ": data after the end of the gzip stream");
                inflateReset(&z);
                member_done = false;
            }
            const uInt room = z.avail_out;
            const int r = inflate(&z, Z_NO_FLUSH);
            if (r == Z_STREAM_END) {
                member_done = true;  // its CRC-32 and length have been checked
            } else if (r != Z_OK && r != Z_BUF_ERROR) {
                return fail(quoted(path) + ": damaged gzip stream (" +
                            (z.msg != nullptr ? z.msg : "inflate error") + ")");
            } else if (z.avail_in == 0 && file_end && z.avail_out == room) {
                // No input left and nothing more to give, yet the member is open.
                return fail(quoted(path) + ": cut gzip stream (the file ends inside it)");
            }
            if (z.avail_out < want) return static_cast<long>(want - z.avail_out);
        }
    }
};

// A thread that decompresses into a ring of fixed buffers while the reader
// takes from the other end. The thread fills a whole buffer, then hands it
// over; the reader gives it back when it has taken all of it. The end of the
// content, or an error, is posted only after every byte before it, so the
// reader meets an error exactly where the stream broke, never as an early end.
struct InputStream::Ahead {
    static constexpr std::size_t slots = 4;
    static constexpr std::size_t slot_size = 256 * 1024;

    Decoder& decoder;
    std::mutex mutex;
    std::condition_variable filled;  // a buffer was handed over, or the end
    std::condition_variable freed;   // a buffer was given back, or stop
    std::vector<char> storage = std::vector<char>(slots * slot_size);
    std::size_t length[slots] = {};
    std::size_t head = 0;    // the buffer the reader takes from
    std::size_t count = 0;   // buffers handed over and not yet given back
    bool finished = false;   // no more buffers will come
    bool stop = false;       // the reader closed the stream
    std::string error;       // why the content ended early, if it did
    std::size_t offset = 0;  // reader's position in buffers[head]; reader only
    std::thread thread;

    explicit Ahead(Decoder& d) : decoder(d) {
        // The thread starts with every signal blocked, so that signals keep
        // going to the reading thread and its handlers, as in a program
        // without the second thread.
        sigset_t all;
        sigset_t previous;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &previous);
        try {
            thread = std::thread([this] { run(); });
        } catch (...) {
            pthread_sigmask(SIG_SETMASK, &previous, nullptr);
            throw;
        }
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }

    ~Ahead() {
        {
            std::lock_guard lock(mutex);
            stop = true;
        }
        freed.notify_one();
        thread.join();
    }

    char* slot(std::size_t i) { return storage.data() + i * slot_size; }

    void run() {
        std::size_t tail = 0;
        for (;;) {
            {
                std::unique_lock lock(mutex);
                freed.wait(lock, [this] { return stop || count < slots; });
                if (stop) return;
            }
            // The buffer at `tail` belongs to this thread until it is handed over.
            std::size_t n = 0;
            bool end = false;
            std::string why;
            try {
                while (n < slot_size) {
                    const long got = decoder.read(slot(tail) + n, slot_size - n);
                    if (got < 0) {
                        why = decoder.error;
                        break;
                    }
                    if (got == 0) {
                        end = true;
                        break;
                    }
                    n += static_cast<std::size_t>(got);
                }
            } catch (const std::exception& e) {
                why = quoted(decoder.path) + ": " + e.what();
            }
            {
                std::lock_guard lock(mutex);
                length[tail] = n;
                ++count;
                if (!why.empty()) error = why;
                finished = end || !why.empty();
            }
            filled.notify_one();
            if (!why.empty() || end) return;
            tail = (tail + 1) % slots;
        }
    }

    // Up to `size` bytes for the reader; 0 at the end, -1 with `why` set.
    long take(char* buffer, std::size_t size, std::string& why) {
        for (;;) {
            {
                std::unique_lock lock(mutex);
                filled.wait(lock, [this] { return count > 0 || finished; });
                if (count == 0) {
                    if (error.empty()) return 0;
                    why = error;
                    return -1;
                }
            }
            // The buffer at `head` belongs to the reader until it is given back.
            const std::size_t n = std::min(size, length[head] - offset);
            std::memcpy(buffer, slot(head) + offset, n);
            offset += n;
            if (offset == length[head]) {
                {
                    std::lock_guard lock(mutex);
                    head = (head + 1) % slots;
                    --count;
                }
                freed.notify_one();
                offset = 0;
            }
            if (n > 0) return static_cast<long>(n);
        }
    }
};

InputStream::InputStream() = default;
InputStream::~InputStream() { close(); }

void InputStream::close() {
    ahead_.reset();  // stops and joins the thread before its decoder goes
    decoder_.reset();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    compression_ = Compression::none;
    at_end_ = false;
}

long InputStream::fail(const std::string& text) {
    if (error_.empty()) error_ = text;
    return -1;
}

bool InputStream::open(const std::string& path) {
    close();
    error_.clear();
    path_ = path;
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        fail(quoted(path) + " " + std::strerror(errno));
        return false;
    }

    unsigned char head[2];
    ssize_t got;
    do {
        got = ::pread(fd_, head, sizeof head, 0);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        fail(quoted(path) + " " + std::strerror(errno));
        close();
        return false;
    }
    compression_ = detect_compression(head, static_cast<std::size_t>(got));
    if (compression_ == Compression::none) return true;

    decoder_ = std::make_unique<Decoder>();
    Decoder& d = *decoder_;
    d.fd = fd_;
    d.path = path;
    d.kind = compression_;
    if (compression_ == Compression::gzip) {
        d.input.resize(read_block);
        // 16 + 15: a gzip wrapper around a deflate stream with a 32 KiB window.
        if (inflateInit2(&d.z, 16 + MAX_WBITS) != Z_OK) {
            fail(quoted(path) + ": cannot set up gzip decompression");
            close();
            return false;
        }
        d.started = true;
    } else {
        // Only the compress filter is enabled, and it must work inside the
        // library: a filter that would run an external program is refused.
        d.ar = archive_read_new();
        if (d.ar == nullptr) {
            fail(quoted(path) + ": cannot set up decompression");
            close();
            return false;
        }
        if (archive_read_support_filter_compress(d.ar) != ARCHIVE_OK) {
            fail(quoted(path) + ": " + compression_name(compression_) +
                 " decompression is not available in this build");
            close();
            return false;
        }
        archive_read_support_format_raw(d.ar);
        archive_entry* entry = nullptr;
        if (archive_read_open_fd(d.ar, fd_, read_block) != ARCHIVE_OK ||
            archive_read_next_header(d.ar, &entry) != ARCHIVE_OK ||
            archive_filter_code(d.ar, 0) != ARCHIVE_FILTER_COMPRESS) {
            const char* why = archive_error_string(d.ar);
            fail(quoted(path) + ": damaged " + compression_name(compression_) + " stream" +
                 (why != nullptr ? std::string(" (") + why + ")" : std::string()));
            close();
            return false;
        }
    }
    try {
        ahead_ = std::make_unique<Ahead>(d);
    } catch (const std::system_error&) {
        // No thread to be had: decompress on demand on this thread instead.
        ahead_.reset();
    }
    return true;
}

long InputStream::read(char* buffer, std::size_t size) {
    if (failed()) return -1;
    if (fd_ < 0) return fail("no file is open");
    if (size == 0 || at_end_) return 0;
    if (!decoder_) return read_plain(buffer, size);
    return read_ahead(buffer, size);
}

long InputStream::read_plain(char* buffer, std::size_t size) {
    const long got = read_fd(fd_, buffer, size);
    if (got < 0) return fail(quoted(path_) + " " + std::strerror(errno));
    if (got == 0) at_end_ = true;
    return got;
}

long InputStream::read_ahead(char* buffer, std::size_t size) {
    std::string why;
    const long got = ahead_ ? ahead_->take(buffer, size, why) : decoder_->read(buffer, size);
    if (got < 0) return fail(ahead_ ? why : decoder_->error);
    if (got == 0) at_end_ = true;
    return got;
}

LineReader::LineReader(InputStream& in, std::size_t max_line)
    : in_(in), max_line_(max_line), buffer_(max_line + read_block) {}

bool LineReader::fill() {
    // Keep the unfinished line, move it to the front and read behind it.
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    while (end_ < buffer_.size()) {
        const long got = in_.read(buffer_.data() + end_, buffer_.size() - end_);
        if (got < 0) {
            error_ = in_.error();
            return false;
        }
        if (got == 0) {
            eof_ = true;
            return true;
        }
        end_ += static_cast<std::size_t>(got);
        if (std::memchr(buffer_.data() + end_ - got, '\n', static_cast<std::size_t>(got)))
            return true;
    }
    return true;
}

bool LineReader::next(std::string_view& line) {
    if (failed()) return false;
    for (;;) {
        const char* start = buffer_.data() + begin_;
        const std::size_t avail = end_ - begin_;
        const char* lf = static_cast<const char*>(std::memchr(start, '\n', avail));
        std::size_t length;
        std::size_t consumed;
        if (lf != nullptr) {
            length = static_cast<std::size_t>(lf - start);
            consumed = length + 1;
            unterminated_ = false;
        } else if (eof_) {
            if (avail == 0) return false;
            length = avail;
            consumed = avail;
            unterminated_ = true;
        } else {
            if (avail > max_line_)
                length = avail;  // reported below
            else {
                if (!fill()) return false;
                continue;
            }
            consumed = 0;
        }
        if (length > 0 && start[length - 1] == '\r') --length;
        if (length > max_line_) {
            error_ = "line " + std::to_string(line_number_ + 1) + " is longer than " +
                     std::to_string(max_line_) + " characters";
            return false;
        }
        begin_ += consumed;
        ++line_number_;
        line = std::string_view(start, length);
        return true;
    }
}

}  // namespace input
