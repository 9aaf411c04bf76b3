#include "input/observation_source.h"

namespace input {

ObservationSource::ObservationSource() = default;
ObservationSource::~ObservationSource() = default;

bool ObservationSource::fail(const std::string& text) {
    if (error_.empty()) error_ = text;
    return false;
}

void ObservationSource::close() {
    reader_.reset();
    in_.close();
    ended_ = true;
    first_pending_ = false;
}

bool ObservationSource::open(const std::string& path) {
    error_.clear();
    compact_ = first_pending_ = ended_ = false;
    next_output_ = 0;
    decoder_ = CompactRinexDecoder();
    reader_.reset();
    if (!in_.open(path)) return fail(in_.error());
    reader_ = std::make_unique<LineReader>(in_, CompactRinexDecoder::max_line);

    std::string_view line;
    if (!reader_->next(line)) {
        if (reader_->failed()) return fail("'" + path + "': " + reader_->error());
        ended_ = true;  // an empty file has no lines
        return true;
    }
    compact_ = CompactRinexDecoder::is_compact_header(line);
    if (compact_) {
        if (!decoder_.feed(line)) return fail("'" + path + "': " + decoder_.error());
    } else {
        first_.assign(line);
        first_pending_ = true;
    }
    return true;
}

bool ObservationSource::next(std::string_view& line) {
    if (failed() || !reader_) return false;
    if (!compact_) {
        if (first_pending_) {
            first_pending_ = false;
            line = first_;
            return true;
        }
        if (ended_) return false;
        if (reader_->next(line)) return true;
        ended_ = true;
        if (reader_->failed()) return fail("'" + in_.path() + "': " + reader_->error());
        return false;
    }

    while (next_output_ >= decoder_.output_lines()) {
        if (ended_) return false;
        next_output_ = 0;
        std::string_view compact_line;
        if (!reader_->next(compact_line)) {
            ended_ = true;
            if (reader_->failed()) return fail("'" + in_.path() + "': " + reader_->error());
            if (!decoder_.finish()) return fail("'" + in_.path() + "': " + decoder_.error());
            return false;
        }
        // A compact file is written line by line; one whose last line has no
        // line end has been cut.
        if (reader_->last_line_unterminated())
            return fail("'" + in_.path() + "': line " + std::to_string(reader_->line_number()) +
                        ": the file ends in the middle of a line");
        if (!decoder_.feed(compact_line)) return fail("'" + in_.path() + "': " + decoder_.error());
    }
    line = decoder_.output_line(next_output_++);
    return true;
}

}  // namespace input
