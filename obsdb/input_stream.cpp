#include "obsdb/input_stream.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace obsdb {

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

struct InputStream::Gzip {
    z_stream z{};
    bool started = false;
    bool member_done = false;  // between members
    bool padding = false;      // zero bytes seen after the last member
    bool file_end = false;
    std::vector<unsigned char> input = std::vector<unsigned char>(read_block);

    ~Gzip() {
        if (started) inflateEnd(&z);
    }
};

InputStream::InputStream() = default;
InputStream::~InputStream() { close(); }

void InputStream::close() {
    gzip_.reset();
    if (archive_ != nullptr) {
        archive_read_free(archive_);
        archive_ = nullptr;
    }
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

    if (compression_ == Compression::gzip) {
        gzip_ = std::make_unique<Gzip>();
        // 16 + 15: a gzip wrapper around a deflate stream with a 32 KiB window.
        if (inflateInit2(&gzip_->z, 16 + MAX_WBITS) != Z_OK) {
            fail(quoted(path) + ": cannot set up gzip decompression");
            close();
            return false;
        }
        gzip_->started = true;
        return true;
    }

    // Only the compress filter is enabled, and it must work inside the
    // library: a filter that would run an external program is refused.
    archive_ = archive_read_new();
    if (archive_ == nullptr) {
        fail(quoted(path) + ": cannot set up decompression");
        close();
        return false;
    }
    const int filter = archive_read_support_filter_compress(archive_);
    if (filter != ARCHIVE_OK) {
        fail(quoted(path) + ": " + compression_name(compression_) +
             " decompression is not available in this build");
        close();
        return false;
    }
    archive_read_support_format_raw(archive_);
    archive_entry* entry = nullptr;
    if (archive_read_open_fd(archive_, fd_, read_block) != ARCHIVE_OK ||
        archive_read_next_header(archive_, &entry) != ARCHIVE_OK ||
        archive_filter_code(archive_, 0) != ARCHIVE_FILTER_COMPRESS) {
        const char* why = archive_error_string(archive_);
        fail(quoted(path) + ": damaged " + compression_name(compression_) + " stream" +
             (why != nullptr ? std::string(" (") + why + ")" : std::string()));
        close();
        return false;
    }
    return true;
}

long InputStream::read(char* buffer, std::size_t size) {
    if (failed()) return -1;
    if (fd_ < 0) return fail("no file is open");
    if (size == 0 || at_end_) return 0;
    if (gzip_) return read_gzip(buffer, size);
    if (archive_ == nullptr) return read_plain(buffer, size);

    const la_ssize_t got = archive_read_data(archive_, buffer, size);
    if (got < 0) {
        // Warnings are errors as well: a stream that is only partly right
        // must not pass as a shorter file.
        const char* why = archive_error_string(archive_);
        return fail(quoted(path_) + ": damaged or cut " + compression_name(compression_) +
                    " stream" + (why != nullptr ? std::string(" (") + why + ")" : std::string()));
    }
    if (got == 0) at_end_ = true;
    return static_cast<long>(got);
}

long InputStream::read_plain(char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, size);
        if (got >= 0) {
            if (got == 0) at_end_ = true;
            return static_cast<long>(got);
        }
        if (errno != EINTR) return fail(quoted(path_) + " " + std::strerror(errno));
    }
}

long InputStream::read_gzip(char* buffer, std::size_t size) {
    Gzip& g = *gzip_;
    z_stream& z = g.z;
    const uInt want = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = want;
    for (;;) {
        if (z.avail_in == 0 && !g.file_end) {
            const long got = read_plain(reinterpret_cast<char*>(g.input.data()), g.input.size());
            if (got < 0) return -1;
            at_end_ = false;
            if (got == 0) g.file_end = true;
            z.next_in = g.input.data();
            z.avail_in = static_cast<uInt>(got);
        }
        if (g.member_done) {
            // After a member: another member, zero padding, or the end.
            if (z.avail_in == 0) {
                at_end_ = true;
                return static_cast<long>(want - z.avail_out);
            }
            if (*z.next_in == 0) {
                g.padding = true;
                ++z.next_in;
                --z.avail_in;
                continue;
            }
            if (g.padding) return fail(quoted(path_) + ": data after the end of the gzip stream");
            inflateReset(&z);
            g.member_done = false;
        }
        const uInt room = z.avail_out;
        const int r = inflate(&z, Z_NO_FLUSH);
        if (r == Z_STREAM_END) {
            g.member_done = true;  // its CRC-32 and length have been checked
        } else if (r != Z_OK && r != Z_BUF_ERROR) {
            return fail(quoted(path_) + ": damaged gzip stream (" +
                        (z.msg != nullptr ? z.msg : "inflate error") + ")");
        } else if (z.avail_in == 0 && g.file_end && z.avail_out == room) {
            // No input left and nothing more to give, yet the member is open.
            return fail(quoted(path_) + ": cut gzip stream (the file ends inside it)");
        }
        if (z.avail_out < want) return static_cast<long>(want - z.avail_out);
    }
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

}  // namespace obsdb
