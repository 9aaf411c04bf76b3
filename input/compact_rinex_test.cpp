#include "input/compact_rinex.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "input/observation_source.h"
#include "tests/testkit/testkit.h"

using input::CompactRinexDecoder;
using input::ObservationSource;

namespace {

std::string labelled(std::string content, const char* label) {
    content.resize(60, ' ');
    return content + label;
}

struct Decoded {
    bool ok = false;
    std::vector<std::string> lines;
    std::string error;
};

// Runs the decoder over the given compact lines.
Decoded decode_lines(const std::vector<std::string>& input) {
    Decoded d;
    CompactRinexDecoder decoder;
    for (const std::string& line : input) {
        if (!decoder.feed(line)) {
            d.error = decoder.error();
            return d;
        }
        for (std::size_t i = 0; i < decoder.output_lines(); ++i)
            d.lines.emplace_back(decoder.output_line(i));
    }
    d.ok = decoder.finish();
    d.error = decoder.error();
    return d;
}

// Reads a file of the test data through ObservationSource.
Decoded decode_file(const std::string& path) {
    Decoded d;
    ObservationSource source;
    if (!source.open(path)) {
        d.error = source.error();
        return d;
    }
    std::string_view line;
    while (source.next(line)) d.lines.emplace_back(line);
    d.ok = !source.failed();
    d.error = source.error();
    return d;
}

// Lines of a plain file with their line ends (LF or CR LF) removed.
std::vector<std::string> plain_lines(const std::string& path) {
    std::vector<std::string> lines = testkit::lines_of(testkit::read_file(path));
    for (std::string& l : lines) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
    }
    return lines;
}

std::vector<std::string> header1(const std::string& types = "     2    L1    C1") {
    return {
        labelled("1.0                 COMPACT RINEX FORMAT", "CRINEX VERS   / TYPE"),
        labelled("RNX2CRX ver.4.0.7                       01-Jan-21 00:00", "CRINEX PROG / DATE"),
        labelled("     2.11           OBSERVATION DATA    G (GPS)", "RINEX VERSION / TYPE"),
        labelled(types, "# / TYPES OF OBSERV"), labelled("", "END OF HEADER")};
}

std::vector<std::string> header3() {
    return {
        labelled("3.0                 COMPACT RINEX FORMAT", "CRINEX VERS   / TYPE"),
        labelled("RNX2CRX ver.4.0.7                       01-Jan-21 00:00", "CRINEX PROG / DATE"),
        labelled("     3.04           OBSERVATION DATA    M", "RINEX VERSION / TYPE"),
        labelled("G    2 C1C L1C", "SYS / # / OBS TYPES"), labelled("", "END OF HEADER")};
}

std::vector<std::string> with(std::vector<std::string> head, const std::vector<std::string>& body) {
    head.insert(head.end(), body.begin(), body.end());
    return head;
}

// The RINEX lines after the header.
std::vector<std::string> body_of(const Decoded& d) {
    std::vector<std::string> body;
    bool in_body = false;
    for (const std::string& l : d.lines) {
        if (in_body) body.push_back(l);
        if (l.find("END OF HEADER") == 60) in_body = true;
    }
    return body;
}

void expect_same_lines(const std::vector<std::string>& got, const std::vector<std::string>& want) {
    ASSERT_FALSE(want.empty());
    const std::size_t n = std::min(got.size(), want.size());
    for (std::size_t i = 0; i < n; ++i) {
        ASSERT_EQ(got[i], want[i]) << "first difference in line " << i + 1;
    }
    EXPECT_EQ(got.size(), want.size());
}

// Every compact file with a plain twin decodes to exactly the twin's lines.
// The plain npaz3550.21o keeps the blanks of empty flags at the ends of its
// observation lines, which the decoded text (like the other twins) leaves
// out; that pair is compared without trailing blanks.
struct Twin {
    const char* compact;  // or compressed
    const char* plain;
    bool without_trailing_blanks = false;
};

std::vector<std::string> stripped(std::vector<std::string> lines) {
    for (std::string& l : lines) l.erase(l.find_last_not_of(' ') + 1);
    return lines;
}

class CompactTwins : public ::testing::TestWithParam<Twin> {};

TEST_P(CompactTwins, DecodesToThePlainFile) {
    const Decoded d = decode_file(testkit::test_data_path(GetParam().compact));
    ASSERT_TRUE(d.ok) << d.error;
    const std::vector<std::string> plain = plain_lines(testkit::test_data_path(GetParam().plain));
    if (GetParam().without_trailing_blanks) {
        EXPECT_NE(stripped(plain), plain);  // the difference is real
        expect_same_lines(d.lines, stripped(plain));
    } else {
        expect_same_lines(d.lines, plain);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, CompactTwins,
                         ::testing::Values(Twin{"sample.crx", "sample.rnx"},
                                           Twin{"ACOR00ESP_R_20213550000_01D_30S_MO.crx",
                                                "ACOR00ESP_R_20213550000_01D_30S_MO.rnx"},
                                           Twin{"aopr0010.17d", "aopr0010.17o"},
                                           Twin{"KOSG0010.95D", "KOSG0010.95O"},
                                           Twin{"delf0010.21d", "delf0010.21o"},
                                           Twin{"npaz3550.21d", "npaz3550.21o", true},
                                           Twin{"sample.crx.gz", "sample.rnx"},
                                           Twin{"sample.crx.Z", "sample.rnx"},
                                           Twin{"bogi1210.09d.Z", "bogi1210.09o"}));

// A RINEX 4 file without a plain twin: every epoch announces as many
// satellite lines as follow it, and every value sits in its columns.
TEST(CompactRinex, Rinex4FileDecodesEpochByEpoch) {
    const Decoded d =
        decode_file(testkit::test_data_path("KMS300DNK_R_20221591000_01H_30S_MO.crx"));
    ASSERT_TRUE(d.ok) << d.error;
    const std::vector<std::string> body = body_of(d);
    int epochs = 0;
    for (std::size_t i = 0; i < body.size();) {
        ASSERT_EQ(body[i][0], '>') << "line " << i;
        const int count = std::stoi(body[i].substr(32, 3));
        ++epochs;
        ++i;
        for (int s = 0; s < count; ++s, ++i) {
            ASSERT_LT(i, body.size());
            ASSERT_GE(body[i].size(), 3u);
            const std::string& l = body[i];
            EXPECT_NE(std::string("GRECJSI").find(l[0]), std::string::npos) << l;
            // Every value present has its decimal point in the eleventh column.
            for (std::size_t f = 3; f < l.size(); f += 16) {
                if (l.find_first_not_of(' ', f) < f + 14) {
                    EXPECT_EQ(l[f + 10], '.') << l;
                }
            }
        }
    }
    EXPECT_EQ(epochs, 19);  // the archive's own count for this hour
}

// Clock offsets, a missing observation (its flags go), arcs of higher order,
// and an event record passing through, in RINEX 2.
TEST(CompactRinex, Rinex2ClockMissingObservationAndEvent) {
    const Decoded d = decode_lines(with(header1(), {
                                                       "&21  1  1  0  0  0.0000000  0  2G01G02",
                                                       "3&123456789",
                                                       "3&100000 3&20000000 12",
                                                       "3&-500 3&21000000",
                                                       "                3",
                                                       "1000",
                                                       "1000 -1000",
                                                       " 3&7",
                                                       "&21  1  1  0  1  0.0000000  4  1",
                                                       labelled("EVENT", "COMMENT"),
                                                       "&21  1  1  0  1 30.0000000  0  1G01",
                                                       "",
                                                       "1000 1000",
                                                   }));
    ASSERT_TRUE(d.ok) << d.error;
    const std::vector<std::string> want = {
        " 21  1  1  0  0  0.0000000  0  2G01G02                                .123456789",
        "       100.00012     20000.000",
        "         -.500       21000.000",
        " 21  1  1  0  0 30.0000000  0  2G01G02                                .123457789",
        "       101.00012     19999.000",
        "                          .007",
        " 21  1  1  0  1  0.0000000  4  1",
        labelled("EVENT", "COMMENT"),
        " 21  1  1  0  1 30.0000000  0  1G01",
        "       103.00012     19999.000",
    };
    expect_same_lines(body_of(d), want);
}

// More than twelve satellites: the clock offset stays on the first line, in
// columns 69-80, and the rest of the list goes to a continuation line.
TEST(CompactRinex, Rinex2ClockWithLongSatelliteList) {
    std::vector<std::string> body = {
        "&21  1  1  0  0  0.0000000  0 13G01G02G03G04G05G06G07G08G09G10G11G12G13", "3&-1500"};
    for (int i = 0; i < 13; ++i) body.push_back("3&" + std::to_string(1000 + i) + " 3&2");
    const Decoded d = decode_lines(with(header1(), body));
    ASSERT_TRUE(d.ok) << d.error;
    const std::vector<std::string> got = body_of(d);
    ASSERT_EQ(got.size(), 15u);
    EXPECT_EQ(got[0],
              " 21  1  1  0  0  0.0000000  0 13G01G02G03G04G05G06G07G08G09G10G11G12 -.000001500");
    EXPECT_EQ(got[1], std::string(32, ' ') + "G13");
    EXPECT_EQ(got[2], "         1.000            .002");
    EXPECT_EQ(got[14], "         1.012            .002");
}

// Plain files, compressed or not, pass through line by line.
TEST(ObservationSource, PlainFilesPassThrough) {
    for (const Twin& t : {Twin{"sample.rnx.gz", "sample.rnx"}, Twin{"sample.rnx.Z", "sample.rnx"},
                          Twin{"delf0010.21o", "delf0010.21o"}}) {
        const Decoded d = decode_file(testkit::test_data_path(t.compact));
        ASSERT_TRUE(d.ok) << d.error;
        EXPECT_EQ(d.lines, plain_lines(testkit::test_data_path(t.plain))) << t.compact;
    }
    testkit::ScratchDir dir;
    testkit::write_file(dir.file("empty.rnx"), "");
    const Decoded empty = decode_file(dir.file("empty.rnx"));
    EXPECT_TRUE(empty.ok);
    EXPECT_TRUE(empty.lines.empty());
    const Decoded missing = decode_file(dir.file("none.rnx"));
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error.find("No such file"), std::string::npos);
}

// RINEX 3: the clock offset in columns 42-56; more than five types per line;
// a satellite that leaves the epoch loses its arcs.
TEST(CompactRinex, Rinex3ClockAndSatelliteLeaving) {
    const std::vector<std::string> first = {
        "> 2021 01 01 00 00  0.0000000  0  2      G01G02",
        "3&-123456789012",
        "3&20000000000 3&105000000000  5 7",
        "3&21000000000 3&110000000000",
    };
    Decoded d = decode_lines(with(header3(), first));
    ASSERT_TRUE(d.ok) << d.error;
    const std::vector<std::string> want = {
        "> 2021 01 01 00 00  0.0000000  0  2       -.123456789012",
        "G01  20000000.000 5 105000000.000 7",
        "G02  21000000.000   110000000.000",
    };
    expect_same_lines(body_of(d), want);

    // G01 is absent from the second epoch, so its plain difference in the
    // third cannot be applied.
    std::vector<std::string> more = first;
    more.insert(more.end(), {"                                  1      G02", "", "1 1",
                             "                                  1      G01", "", "1 1"});
    d = decode_lines(with(header3(), more));
    EXPECT_FALSE(d.ok);
    EXPECT_NE(d.error.find("line 15: difference without a started arc"), std::string::npos)
        << d.error;
}

// Malformed input ends with an error naming the line, never with a crash.
TEST(CompactRinex, MalformedInputIsRefused) {
    const std::string epoch = "&21  1  1  0  0  0.0000000  0  1G01";
    struct Case {
        std::vector<std::string> lines;
        const char* message;
    };
    const std::vector<Case> cases = {
        {with(header1(), {epoch, "", "x&5 3&1"}), "line 8: arc order is not a digit"},
        {with(header1(), {epoch, "", "12&5 3&1"}), "line 8: not a number: 12&5"},
        {with(header1(), {epoch, "", "3&1 2"}), "line 8: difference without a started arc"},
        {with(header1(), {epoch, "", "3&1 3&1+"}), "line 8: not a number"},
        {with(header1(), {epoch, "", "3&10000000000000 3&1"}), "does not fit 14 columns"},
        {with(header1(), {epoch, "3&999999999999"}), "line 7: clock offset does not fit"},
        {with(header1(), {epoch, "", "3&1 3&1 12345"}), "flag text longer"},
        {with(header1(), {"&21  1  1  0  0  0.0000000  0999G01", ""}),
         "satellite list shorter than its count of 999"},
        {with(header1(), {"&21  1  1  0  0  0.0000000  9  1G01"}), "unknown epoch flag '9'"},
        {with(header1(), {"  21  1  1"}), "line 6: epoch line differs from no earlier"},
        {with(header1(), {"&21  1  1  0  0  0.0000000  0 x1G01"}), "count is not a number"},
        {with(header1("     0"), {epoch, ""}), "without observation types"},
        {with(header1(), {std::string(CompactRinexDecoder::max_line + 1, '1')}), "longer than"},
        {{"     2.11           OBSERVATION DATA    G (GPS)"}, "line 1: not a compact RINEX file"},
        {{labelled("2.0                 COMPACT RINEX FORMAT", "CRINEX VERS   / TYPE")},
         "neither 1.0 nor 3.0"},
        {{header3()[0], header3()[1], header1()[2]}, "must hold RINEX version 3"},
        {with(header3(), {"> 2021 01 01 00 00  0.0000000  0  1      R01", ""}),
         "R01 belongs to a system without observation types"},
    };
    for (const Case& c : cases) {
        const Decoded d = decode_lines(c.lines);
        EXPECT_FALSE(d.ok) << c.message;
        EXPECT_NE(d.error.find(c.message), std::string::npos) << d.error;
    }
}

// A file cut inside an epoch or inside its header is refused, whether the cut
// falls at a line end or in the middle of a line.
TEST(CompactRinex, CutFileIsRefused) {
    testkit::ScratchDir dir;
    const std::string full = testkit::read_file(testkit::test_data_path("delf0010.21d"));
    const std::size_t third_epoch = full.find("\n ", full.find("END OF HEADER") + 200);
    ASSERT_NE(third_epoch, std::string::npos);

    const std::string at_line_end = full.substr(0, full.find('\n', full.size() / 2) + 1);
    const std::string mid_line = full.substr(0, full.size() / 2 + 7);
    const std::string in_header = full.substr(0, full.find("END OF HEADER") - 5);
    for (const std::string& cut : {at_line_end, mid_line, in_header}) {
        testkit::write_file(dir.file("cut.21d"), cut);
        const Decoded d = decode_file(dir.file("cut.21d"));
        EXPECT_FALSE(d.ok);
        // Appended, not "'" + std::string: GCC 12 warns falsely (-Wrestrict) at -O3.
        std::string named = "'";
        named += dir.file("cut.21d");
        named += "': line ";
        EXPECT_NE(d.error.find(named), std::string::npos) << d.error;
    }
    // The complete file in the same folder decodes.
    testkit::write_file(dir.file("whole.21d"), full);
    EXPECT_TRUE(decode_file(dir.file("whole.21d")).ok);
}

// Random bytes after a valid header end in an error, not in decoded lines.
TEST(CompactRinex, GarbageEndsWithAnError) {
    std::mt19937 random(14);
    for (int round = 0; round < 50; ++round) {
        std::vector<std::string> lines = header1();
        lines.push_back("&21  1  1  0  0  0.0000000  0  1G01");
        for (int i = 0; i < 20; ++i) {
            std::string l(random() % 120, ' ');
            for (char& c : l) c = static_cast<char>(random() % 256);
            lines.push_back(l);
        }
        const Decoded d = decode_lines(lines);
        EXPECT_FALSE(d.ok) << "round " << round;
        EXPECT_FALSE(d.error.empty());
    }
}

}  // namespace
