// The lines of an observation file as RINEX text, whatever its wrapping: a
// plain file, a gzip or Unix compress file, a compact RINEX file, or a
// compressed compact RINEX file. Each is read as a stream, one line at a time.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "input/compact_rinex.h"
#include "input/input_stream.h"

namespace input {

class ObservationSource {
public:
    ObservationSource();
    ~ObservationSource();
    ObservationSource(const ObservationSource&) = delete;
    ObservationSource& operator=(const ObservationSource&) = delete;

    // Opens `path` and reads its first line to tell compact RINEX from plain
    // text. False, with error() set, when the file cannot be opened or read,
    // or is not a valid compressed or compact file.
    bool open(const std::string& path);

    // Delivers the next RINEX line without its line end; the text stays valid
    // until the next call. False at the end of the file and on an error; the
    // two are told apart by failed().
    bool next(std::string_view& line);

    bool failed() const { return !error_.empty(); }
    // "'file': what is wrong", with the line of the file where it applies.
    const std::string& error() const { return error_; }
    Compression compression() const { return in_.compression(); }
    bool compact() const { return compact_; }
    // The compact format read (1 or 3), 0 for a file that is not compact.
    int compact_format() const { return compact_ ? decoder_.format() : 0; }
    // Ends the reading and releases the file.
    void close();
    // Lines of the file (after decompression) read so far.
    long file_line() const { return reader_ ? reader_->line_number() : 0; }

private:
    bool fail(const std::string& text);

    InputStream in_;
    std::unique_ptr<LineReader> reader_;
    CompactRinexDecoder decoder_;
    bool compact_ = false;
    bool first_pending_ = false;
    bool ended_ = false;
    std::string first_;
    std::size_t next_output_ = 0;
    std::string error_;
};

}  // namespace input
