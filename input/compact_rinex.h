// Streaming decoder of compact RINEX observation files ("Hatanaka"
// compression): format 1.0, which carries RINEX 2, and format 3.0, which
// carries RINEX 3 and 4. The decoder takes the compact file one line at a
// time and gives back the lines of the plain RINEX file: the RINEX header as
// it stands, epoch lines, observation lines and event records. It holds
// only the state of the previous epoch (its epoch line, and per satellite the
// difference arcs and the flag text of every observation type), so memory
// does not grow with the length of the file.
//
// Malformed input ends the decoding with an error that names the line; limits
// on line length, satellites, observation types and arc order keep a damaged
// file from making the state grow.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace input {

class CompactRinexDecoder {
public:
    static constexpr std::size_t max_line = 8192;  // longest compact line accepted
    static constexpr int max_order = 9;            // highest order of a difference arc
    static constexpr int max_types = 150;          // observation types of one system
    static constexpr int max_satellites = 999;     // satellites of one epoch

    // True when `line` is the first line of a compact RINEX file.
    static bool is_compact_header(std::string_view line);

    CompactRinexDecoder();

    // Takes the next line of the compact file, without its line end. Returns
    // false on an error, which stays (every later call fails too). On success
    // output_lines()/output_line() give the RINEX lines this line completed;
    // they stay valid until the next call. An epoch line completes nothing by
    // itself: its RINEX lines come with the clock line that follows it.
    bool feed(std::string_view line);

    // Called at the end of the compact file: false when the file ended inside
    // its header or inside an epoch (a cut file).
    bool finish();

    std::size_t output_lines() const { return ends_.size(); }
    std::string_view output_line(std::size_t i) const;

    // 1 for format 1.0 (RINEX 2 inside), 3 for 3.0; 0 before the first line.
    int format() const { return format_; }
    long lines_fed() const { return line_number_; }
    bool failed() const { return !error_.empty(); }
    // "line N: what is wrong" (N counts the compact lines from 1).
    const std::string& error() const { return error_; }

private:
    enum class Stage { version, program, header, epoch, clock, data, special };
    using Sat = std::array<char, 3>;

    struct Arc {
        std::int64_t term[max_order + 1];  // value and its differences up to `filled`
        signed char filled = -1;           // highest difference held; -1: no arc
        signed char order = 0;             // order given when the arc began
    };

    bool fail(const std::string& text);
    bool header_line(std::string_view line);
    void type_line(std::string_view line);
    bool epoch_line(std::string_view line);
    bool clock_line(std::string_view line);
    bool data_line(std::string_view line);
    bool begin_epoch(int count);
    bool apply(Arc& arc, std::string_view field, std::int64_t& value);
    int types_of(const Sat& sat) const;
    bool put_epoch(bool with_clock, std::int64_t clock);
    void end_output_line();
    void reset_satellites();

    int format_ = 0;
    Stage stage_ = Stage::version;
    long line_number_ = 0;
    long epoch_start_ = 0;  // line of the epoch being decoded
    std::string error_;

    // Observation types: per satellite system (RINEX 3), or for all (RINEX 2).
    std::array<int, 128> system_types_{};
    int all_types_ = 0;
    bool types_changed_ = true;
    int stride_ = 0;  // arcs per satellite in the tables below

    std::string epoch_;  // the epoch line as last decoded
    bool have_epoch_ = false;
    int epoch_count_ = 0;
    int data_index_ = 0;
    int special_left_ = 0;
    Arc clock_;

    // Satellites of the current epoch, with their observation type counts and
    // their slots in the state tables.
    std::vector<Sat> sats_;
    std::vector<int> sat_types_;
    std::vector<std::size_t> sat_slot_;
    // State tables: per slot the satellite, the last epoch it was in, its
    // arcs (stride_ of them) and its flag text (2 * stride_ characters). A
    // slot whose satellite was not in the previous epoch is free, since its
    // state no longer counts.
    std::vector<Sat> slot_sat_;
    std::vector<long> slot_epoch_;
    std::vector<Arc> arcs_;
    std::vector<char> flags_;
    long epoch_serial_ = 0;

    // Per data line work space.
    std::vector<std::int64_t> values_;
    std::vector<char> missing_;

    std::string out_;
    std::vector<std::size_t> ends_;
};

}  // namespace input
