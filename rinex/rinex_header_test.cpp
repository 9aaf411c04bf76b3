// The helpers both RINEX formats share (labels, columns, decimal values) and
// the RINEX 2 epoch lines, whose usual layout is taken apart directly and
// every other one through the scanf format that defines the fields.
#include "rinex/rinex_header.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "rinex/rinex2_format.h"

namespace {

std::string labelled(std::string content, const char* label) {
    content.resize(60, ' ');
    return content + label;
}

TEST(HeaderLabels, Rinex2AnywhereInItsOrderRinex3InColumns61To80) {
    const std::string name = labelled("TP27", "MARKER NAME");
    EXPECT_EQ(rinex2_header_label(name), HeaderLabel::marker_name);
    EXPECT_EQ(header_label_in_columns(name + "   \r"), HeaderLabel::marker_name);
    // A comment that quotes another label is a comment: COMMENT comes first.
    const std::string comment = labelled("MARKER NAME was TP2", "COMMENT");
    EXPECT_EQ(rinex2_header_label(comment), HeaderLabel::comment);
    EXPECT_EQ(header_label_in_columns(comment), HeaderLabel::comment);
    // Shifted by a column: RINEX 2 still finds it, RINEX 3 does not.
    EXPECT_EQ(rinex2_header_label(" " + name), HeaderLabel::marker_name);
    EXPECT_EQ(header_label_in_columns(" " + name), HeaderLabel::other);
    // The RINEX 3 type list is no RINEX 2 label.
    const std::string types = labelled("G    2 C1C L1C", "SYS / # / OBS TYPES");
    EXPECT_EQ(rinex2_header_label(types), HeaderLabel::none);
    EXPECT_EQ(header_label_in_columns(types), HeaderLabel::types3);
    EXPECT_EQ(header_label_in_columns("  4449541.1000"), HeaderLabel::none);
    // Data lines, letters and all, hold no label.
    EXPECT_EQ(rinex2_header_label(" 99 10  3  5  0 30.0000000  0  8G01G05G08G14G15G22G24G29"),
              HeaderLabel::none);
    EXPECT_EQ(rinex2_header_label("  20037000.000 8  20037000.000 8  20037000.000 8"),
              HeaderLabel::none);
    EXPECT_EQ(rinex2_header_label("TIME OF LAST OBSERVATION"), HeaderLabel::last_obs);
}

// RINEX 2 records keep what lay after a shorter text, as they always did;
// RINEX 3 records are cleared there.
TEST(HeaderColumns, TextFieldsCutToFitWithOrWithoutTheirTail) {
    char field[8];
    std::memset(field, 'x', sizeof field);
    copy_text(field, sizeof field, "ABCDEFGHIJ");
    EXPECT_EQ(std::string(field, sizeof field), std::string("ABCDEFG") + '\0');
    copy_text(field, sizeof field, "AB");
    EXPECT_EQ(std::string(field, sizeof field), std::string("AB\0DEFG\0", 8));
    store_text(field, sizeof field, "AB");
    EXPECT_EQ(std::string(field, sizeof field), std::string("AB\0\0\0\0\0\0", 8));
}

// F14.3 fields agree with plain_decimal wherever they take a text, and
// plain_decimal with strtod on plain decimal text.
TEST(HeaderValues, DecimalFields) {
    struct Case {
        const char* text;
        bool f14_3;
        bool plain;
    };
    const Case cases[] = {
        {" 104192400.000", true, true},     {"  20037000.125", true, true},
        {"     -0.000   ", false, true},    {"        -0.125", false, true},
        {"       -12.345", true, true},     {"-123456789.123", true, true},
        {"       +11.500", true, true},     {"          .123", false, true},
        {"  1 4192400.00", false, false},   {"  104192400.00", false, true},
        {"   12.5e3     ", false, false},   {"    1.2.3     ", false, false},
        {"              ", false, false},   {"  -  12.000   ", false, false},
        {"1234567890123456", false, false},
    };
    for (const Case& c : cases) {
        const std::string_view text = c.text;
        double fast = 0;
        double plain = 0;
        const bool fixed = text.size() == 14 && f14_3_value(c.text, &fast);
        EXPECT_EQ(fixed, c.f14_3) << c.text;
        EXPECT_EQ(plain_decimal(text, &plain), c.plain) << c.text;
        if (c.plain) {
            EXPECT_EQ(plain, std::strtod(c.text, nullptr)) << c.text;
        }
        if (fixed) {
            EXPECT_EQ(std::memcmp(&fast, &plain, sizeof fast), 0) << c.text;
        }
    }
}

TEST(Rinex2Epochs, UsualColumnsAndEveryOtherLayoutGiveTheScanfFields) {
    struct Case {
        const char* line;
        Rinex2Record record;
        int date[5];
        double seconds;
        int flag;
        long count;
        const char* satellites;
    };
    const Case cases[] = {
        {" 99 10  3  5  0 30.0000000  0  8G01G05G08G14G15G22G24G29",
         Rinex2Record::epoch,
         {99, 10, 3, 5, 0},
         30,
         0,
         8,
         "G01G05G08G14G15G22G24G29"},
        {"  5  1  1  0  0  0.5000000  1  1 12",
         Rinex2Record::epoch,
         {5, 1, 1, 0, 0},
         0.5,
         1,
         1,
         " 12"},
        // Not in the usual columns: the same fields as far as scanf reads them.
        {"99-10-03 05:00 30.25 0 2G01G05",
         Rinex2Record::epoch,
         {99, 10, 3, 5, 0},
         30.25,
         0,
         2,
         "G01G05"},
        {" 99 10  3  5  0 30.0000000  0    12G01",
         Rinex2Record::epoch,
         {99, 10, 3, 5, 0},
         30,
         0,
         12,
         "G01"},
        {" 99 10  3  5  0 30.0000000  6  1G01",
         Rinex2Record::cycle_slips,
         {99, 10, 3, 5, 0},
         30,
         6,
         1,
         "G01"},
        {" 99 10  3  5  0 30.0000000  4  3",
         Rinex2Record::special_records,
         {99, 10, 3, 5, 0},
         30,
         4,
         3,
         ""},
        {"                            3  2",
         Rinex2Record::special_records,
         {0, 0, 0, 0, 0},
         0,
         3,
         2,
         ""},
        // A count of three digits runs into the flag: flag 100 is no epoch.
        {" 99 10  3  5  0 30.0000000  0100G01", Rinex2Record::none, {}, 0, 0, 0, ""},
        {" 104192400.000 8 104192400.000 8  20037000.000 8", Rinex2Record::none, {}, 0, 0, 0, ""},
    };
    for (const Case& c : cases) {
        Rinex2Epoch e;
        EXPECT_EQ(rinex2_read_epoch_line(c.line, &e), c.record) << c.line;
        if (c.record == Rinex2Record::none) continue;
        const int got[5] = {e.year, e.month, e.day, e.hour, e.minute};
        EXPECT_EQ(std::memcmp(got, c.date, sizeof got), 0) << c.line;
        EXPECT_EQ(e.seconds, c.seconds) << c.line;
        EXPECT_EQ(e.flag, c.flag) << c.line;
        EXPECT_EQ(e.count, c.count) << c.line;
        if (c.record != Rinex2Record::special_records) {
            EXPECT_EQ(e.satellites, c.satellites) << c.line;
        }
    }
}

}  // namespace
