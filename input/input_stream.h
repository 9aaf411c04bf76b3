// Byte and line input of observation files. Files compressed with gzip or
// with Unix compress are recognised by their first two bytes and decompressed
// on the fly; everything else is read as it stands. Memory use does not depend
// on the size of the file.
//
// Decompression runs on a second thread that fills a small ring of fixed
// buffers ahead of the reader, so that inflating and parsing overlap. The
// thread lives and dies with the open stream: close() stops and joins it.
// Plain files are read on the calling thread.
//
// gzip goes through zlib, which checks every member's CRC-32 and length, so a
// damaged or cut file is an error; Unix compress goes through libarchive
// (the format carries no check sum, so only damage that breaks its codes can
// be seen).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace input {

enum class Compression { none, gzip, compress };

// Names the wrapping for messages: "plain", "gzip", "compress".
const char* compression_name(Compression c);

// Tells the wrapping from the first bytes of a file (at least two are needed
// to recognise one).
Compression detect_compression(const unsigned char* head, std::size_t size);

class InputStream {
public:
    InputStream();
    ~InputStream();
    InputStream(const InputStream&) = delete;
    InputStream& operator=(const InputStream&) = delete;

    // Opens `path`. False, with error() set, when the file cannot be opened
    // or its compressed stream cannot be started.
    bool open(const std::string& path);
    void close();

    // Reads up to `size` bytes of the (decompressed) content into `buffer`.
    // Returns the number of bytes read, 0 at the end of the content, and -1
    // on an error (a read error, or a damaged or cut compressed stream); the
    // error then stays and error() describes it.
    long read(char* buffer, std::size_t size);

    bool is_open() const { return fd_ >= 0; }
    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }
    Compression compression() const { return compression_; }
    const std::string& path() const { return path_; }

private:
    long fail(const std::string& text);
    long read_plain(char* buffer, std::size_t size);
    long read_ahead(char* buffer, std::size_t size);

    struct Decoder;  // zlib or libarchive state of a compressed stream
    struct Ahead;    // the decompressing thread and its ring of buffers

    int fd_ = -1;
    std::unique_ptr<Decoder> decoder_;
    std::unique_ptr<Ahead> ahead_;
    Compression compression_ = Compression::none;
    bool at_end_ = false;
    std::string path_;
    std::string error_;
};

// Splits the content of an InputStream into lines. A line ends at a line
// feed; a carriage return right before it is removed as well. Lines longer
// than `max_line` characters are an error, so that a file without line ends
// cannot make the buffer grow.
class LineReader {
public:
    static constexpr std::size_t default_max_line = 8192;

    explicit LineReader(InputStream& in, std::size_t max_line = default_max_line);

    // Delivers the next line without its line end. The text stays valid until
    // the next call. False at the end of the content and on an error.
    bool next(std::string_view& line);

    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }
    // Lines delivered so far (the number of the line last delivered).
    long line_number() const { return line_number_; }
    // True when the last line delivered was ended by the end of the content
    // rather than by a line feed.
    bool last_line_unterminated() const { return unterminated_; }

private:
    bool fill();

    InputStream& in_;
    std::size_t max_line_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    bool unterminated_ = false;
    long line_number_ = 0;
    std::string error_;
};

}  // namespace input
