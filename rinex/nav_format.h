// Navigation files (broadcast ephemerides) as plain records: RINEX 2 GPS
// ('N') and GLONASS ('G') files, RINEX 3 single-system and mixed files and
// the "> EPH" records of RINEX 4. The parser is pure: it takes the file's
// lines one by one and gives the header, the ephemerides of GPS, GLONASS,
// Galileo, BeiDou and QZSS, and the count of the records it passed over.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// One broadcast ephemeris as the file gives it.
struct NavEphemeris {
    char system;        // 'G' GPS, 'R' GLONASS, 'E' Galileo, 'C' BeiDou, 'J' QZSS
    int prn;            // 1..99 (RINEX 2 GPS files: system 'G'; RINEX 2 'G' files: GLONASS 'R')
    double toc;         // epoch of the record as written, calendar read as UTC (no time zone),
                        // seconds since 1970-01-01, in the system's own time scale (GPS time,
                        // GST, BDT; UTC for GLONASS, as RINEX writes it)
    double values[31];  // [0..2] the epoch line's three values (clock bias, drift, drift rate;
                        // GLONASS: -TauN, +GammaN, message frame time); [3..30] the
                        // broadcast-orbit lines 1 to 7, four values each, in file order; 0
                        // where absent
    char kind[5];       // record type: "LNAV", "INAV", "FNAV", "D1", "D2", "FDMA"
};

// Klobuchar-style parameters: four alpha and four beta values. Present once
// both lines were read; the first line of each kind counts.
struct NavKlobuchar {
    bool present = false;
    bool alpha_read = false;
    bool beta_read = false;
    double alpha[4] = {};
    double beta[4] = {};
};

// What the header gives (the ionosphere records of RINEX 4 are passed over).
struct NavHeader {
    double version = 0;  // as written: 2.11, 3.04, 4.00
    char file_type = ' ';  // column 21 of the first line: 'N', or 'G' for RINEX 2 GLONASS
    char system = ' ';     // 'G', 'R', 'E', 'C', 'J', 'S', 'I' or 'M' (mixed)
    NavKlobuchar gps;      // ION ALPHA and ION BETA, or IONOSPHERIC CORR GPSA and GPSB
    NavKlobuchar qzss;     // IONOSPHERIC CORR QZSA and QZSB
    NavKlobuchar beidou;   // IONOSPHERIC CORR BDSA and BDSB
    bool galileo_present = false;  // IONOSPHERIC CORR GAL
    double galileo[4] = {};        // ai0, ai1, ai2 and the fourth field (0 where blank)
    bool leap_seconds_present = false;
    int leap_seconds = 0;  // LEAP SECONDS, the current number
};

// Records passed over, by type: "G CNAV" (system and type of a "> EPH"
// record, or of a RINEX 3 record of a system not stored: "S SBAS", "I LNAV"),
// "STO", "EOP", "ION" (the other RINEX 4 records, by their type word).
struct NavSkipped {
    std::string type;
    long count = 0;
};

// The parser. Feed every line of the file (line ends may be left on) to
// add_line, then call finish. Each returns false on bad input, with the
// line number and reason in error_line and error_text; nothing after the
// first error counts.
class NavParser {
  public:
    bool add_line(std::string_view line);
    bool finish();

    const NavHeader& header() const { return header_; }
    bool header_done() const { return header_done_; }

    // Ephemerides completed since the caller last cleared the list. A record
    // is complete when the next one begins, or at finish.
    std::vector<NavEphemeris>& ready() { return ready_; }

    const std::vector<NavSkipped>& skipped() const { return skipped_; }
    long lines() const { return line_number_; }
    long error_line() const { return error_line_; }
    const std::string& error_text() const { return error_text_; }

  private:
    enum class Record { none, ephemeris, skip };

    bool header_line(std::string_view line);
    bool data_line(std::string_view line);
    bool v4_record_line(std::string_view line);
    bool begin_ephemeris(std::string_view line);
    bool orbit_line(std::string_view line);
    bool end_record();
    void count_skipped(std::string_view type);
    bool fail(long line, std::string text);

    NavHeader header_;
    bool header_done_ = false;
    bool failed_ = false;
    long line_number_ = 0;
    long error_line_ = 0;
    std::string error_text_;

    Record record_ = Record::none;
    bool v4_pending_first_ = false;  // a "> EPH" line was seen: its first line comes next
    char v4_system_ = ' ';           // system and number named by that "> EPH" line
    int v4_prn_ = 0;
    char v4_kind_[5] = {};
    long record_line_ = 0;  // where the current record began
    int orbit_lines_ = 0;   // broadcast-orbit lines of the current record so far
    NavEphemeris current_{};

    std::vector<NavEphemeris> ready_;
    std::vector<NavSkipped> skipped_;
};

// A whole file's text parsed at once.
struct NavFile {
    bool ok = false;
    long error_line = 0;  // 0 for an error that belongs to no line
    std::string error_text;
    NavHeader header;
    std::vector<NavEphemeris> ephemerides;  // in file order
    std::vector<NavSkipped> skipped;
    long lines = 0;
};
NavFile parse_nav_text(std::string_view text);

// The number in a navigation-file field: blanks around it, an optional sign,
// digits with an optional point, an optional exponent written with E, e, D
// or d. Blank text gives 0. False for anything else.
bool nav_number(std::string_view field, double* value);

// Seconds since 1970-01-01 00:00 of a calendar date and time read as UTC.
double nav_calendar_seconds(int year, int month, int day, int hour, int minute, double second);
