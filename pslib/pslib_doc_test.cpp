// Document frame: header, prologue, set-up, trailer, overlays and output.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>

#include "pslib/pslib_test_util.h"

using pstest::Doc;
using testkit::lines_of;

namespace {

std::size_t index_of(const std::vector<std::string>& lines, const std::string& line)
{
    auto it = std::find(lines.begin(), lines.end(), line);
    return static_cast<std::size_t>(it - lines.begin());
}

std::size_t count_prefix(const std::vector<std::string>& lines, const std::string& prefix)
{
    return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](auto& l) {
        return l.compare(0, prefix.size(), prefix) == 0;
    }));
}

// Text from the line `from` (included) up to the line `to` (excluded).
std::string section(const std::string& text, const std::string& from, const std::string& to)
{
    const std::size_t a = text.find(from);
    const std::size_t b = text.find(to, a);
    if (a == std::string::npos || b == std::string::npos) return "<missing>";
    return text.substr(a, b - a);
}

bool ends_with(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

TEST(PsDocument, LandscapeSetUpAndTrailer)
{
    Doc doc(0);
    ASSERT_EQ(doc.status(), 0);
    EXPECT_EQ(ps_state.landscape, 1);
    EXPECT_EQ(ps_state.font, 0);
    EXPECT_EQ(ps_state.path_len, 0);
    EXPECT_EQ(ps_state.path_limit, 1500);
    const std::string text = doc.finish();

    EXPECT_EQ(text.substr(0, 24), "%!PS-Adobe-3.0 EPSF-3.0\n");
    EXPECT_EQ(section(text, "%%BeginSetup", "%%EndSetup"),
              "%%BeginSetup\n\n"
              "% Init coordinate system and scales\n"
              "% Scale is originally set to 0.0944882, which means that\n"
              "% 1 cm on the paper equals 300 Postscript units\n"
              "567 0 T 90 R\n"
              "0.0944882 0.0944882 scale\n"
              "S 0 A\n"
              "% End of pslib header\n");
    // White paper: the set-up ends and the trailer follows at once.
    EXPECT_EQ(section(text, "%%EndSetup", "end\n"),
              "%%EndSetup\n"
              "%%Trailer\n"
              "% Reset translations and scale and call showpage\n"
              "S 0 0 T 10.5833 10.5833 scale -90 R -567 0 T showpage\n\n");
    EXPECT_EQ(text.substr(text.size() - 4), "end\n");
}

TEST(PsDocument, PortraitHasNoRotation)
{
    Doc doc(ps_mode_portrait);
    EXPECT_EQ(ps_state.landscape, 0);
    const std::string text = doc.finish();
    EXPECT_EQ(text.find("90 R"), std::string::npos);
    EXPECT_NE(text.find("\n0.0944882 0.0944882 scale\n"), std::string::npos);
    EXPECT_NE(text.find("\nS 0 0 T 10.5833 10.5833 scale showpage\n\nend\n"), std::string::npos);
}

TEST(PsDocument, HeaderWithoutDocumentInformation)
{
    for (int mode : {0, 1}) {
        Doc doc(mode);
        const std::time_t now = std::time(nullptr);
        const auto lines = lines_of(doc.finish());
        ASSERT_GT(lines.size(), 12u);
        EXPECT_EQ(lines[1], "%%BoundingBox: 0 0 612 792");
        EXPECT_EQ(lines[2], "%%Title: pslib v2.3 document");
        EXPECT_EQ(lines[3], "%%Creator: ???");
        // "%%CreationDate: Www Mmm dd hh:mm:ss yyyy" in English.
        const std::string& date = lines[4];
        ASSERT_EQ(date.size(), 16u + 24u) << date;
        EXPECT_EQ(date.substr(0, 16), "%%CreationDate: ");
        const std::string weekdays = "SunMonTueWedThuFriSat";
        const std::string months = "JanFebMarAprMayJunJulAugSepOctNovDec";
        std::tm t = {};
        localtime_r(&now, &t);
        EXPECT_EQ(date.substr(16, 3), weekdays.substr(static_cast<std::size_t>(t.tm_wday) * 3, 3));
        EXPECT_EQ(date.substr(20, 3), months.substr(static_cast<std::size_t>(t.tm_mon) * 3, 3));
        char day[32];
        std::snprintf(day, sizeof day, " %02d %02d:", t.tm_mday, t.tm_hour);
        EXPECT_EQ(date.substr(23, 7), day);
        EXPECT_EQ(date.substr(29, 1) + date.substr(32, 1), "::");
        EXPECT_EQ(date.substr(35, 1), " ");
        EXPECT_EQ(date.substr(36), std::to_string(t.tm_year + 1900));
        EXPECT_EQ(lines[5], "%%Orientation: Portrait");
        EXPECT_EQ(lines[6], "%%EndComments");
        EXPECT_EQ(lines[7], "");
        EXPECT_EQ(lines[8], "%%BeginProlog");
        EXPECT_EQ(lines[10], "% Begin pslib header");
        EXPECT_EQ(lines[12], "250 dict begin");
    }
}

TEST(PsDocument, HeaderWithDocumentInformation)
{
    PsDocInfo info = {};
    info.x0 = 10;
    info.x1 = 500;
    info.y0 = 20;
    info.y1 = 700;
    info.fonts[0] = "Helvetica";
    info.fonts[1] = "Times-Roman";
    info.fonts[2] = "";
    info.fonts[3] = "Courier";  // after the empty entry: not listed
    info.creator = "lumerak";
    info.title = "station plot";
    {
        Doc doc(ps_mode_portrait, pstest::white, &info);
        const auto lines = lines_of(doc.finish());
        EXPECT_EQ(lines[1], "%%BoundingBox: 10 20 500 700");
        EXPECT_EQ(lines[2], "%%Title: station plot");
        EXPECT_EQ(lines[3], "%%Creator: lumerak");
        EXPECT_EQ(lines[4], "%%DocumentNeededResources: font Helvetica Times-Roman");
        EXPECT_EQ(lines[5].substr(0, 16), "%%CreationDate: ");
    }
    {
        Doc doc(0 | ps_mode_european, pstest::white, &info);
        const std::string text = doc.finish();
        const auto lines = lines_of(text);
        EXPECT_EQ(lines[1], "%%BoundingBox: 10 20 700 500");
        // Only the listed fonts are re-encoded.
        EXPECT_EQ(count_prefix(lines, "/Helvetica /Helvetica eurovec"), 1u);
        EXPECT_EQ(count_prefix(lines, "/Times-Roman /Times-Roman eurovec"), 1u);
        EXPECT_EQ(text.find("/Courier /Courier"), std::string::npos);
    }
}

TEST(PsDocument, PrologueProcedures)
{
    Doc doc(0);
    const auto lines = lines_of(doc.finish());
    const std::size_t begin = index_of(lines, "250 dict begin");
    ASSERT_LT(begin + 2, lines.size());
    EXPECT_EQ(lines[begin + 1], "");
    EXPECT_EQ(lines[begin + 2], "/A /setgray load def");
    EXPECT_EQ(lines[begin + 27], "/Z /show load def");
    EXPECT_EQ(lines[begin + 28], "/A0 {0 exch M 0 D D D D D 0 D P V A F U N} bind def");
    EXPECT_EQ(index_of(lines, "/M {stroke moveto} bind def"), begin + 10);
    EXPECT_EQ(index_of(lines, "/X {M dup 0 D dup -0.5 mul dup G 0 exch D S} bind def"),
              begin + 25);

    // 50 symbol procedures in the order of the families, then the closers.
    const std::string families = "ACDRSTIEHP";
    for (std::size_t f = 0; f < families.size(); ++f)
        for (int v = 0; v < 5; ++v) {
            const std::string& l = lines[begin + 28 + f * 5 + static_cast<std::size_t>(v)];
            EXPECT_EQ(l.substr(0, 5), std::string("/") + families[f] + char('0' + v) + " {") << l;
        }
    EXPECT_EQ(lines[begin + 33], "/C0 {0 360 arc V A F U N} bind def");
    EXPECT_EQ(lines[begin + 37], "/C4 {0 360 arc S} bind def");
    EXPECT_EQ(lines[begin + 64],
              "/E1 {V T dup 0 exch M 0.726542528 mul -72 R dup 0 D 4 {72 R dup 0 D -144 R dup 0 D} "
              "repeat pop P V A F U S U} bind def");
    EXPECT_EQ(lines[begin + 72],
              "/H4 {V T dup dup 0.5 mul exch 0.866025404 mul M 5 {-60 R dup 0 D} repeat pop P S U} "
              "bind def");
    EXPECT_EQ(lines[begin + 77], "/P4 {arc P S} bind def");
    EXPECT_EQ(lines[begin + 78], "/a {P V A F U N} def");
    EXPECT_EQ(lines[begin + 82], "/p {P S} def");

    // The font procedures, 34 of them, then the copies.
    EXPECT_EQ(lines[begin + 83], "/F0 {/Helvetica Y} bind def");
    EXPECT_EQ(lines[begin + 95], "/F12 {/Symbol Y} bind def");
    EXPECT_EQ(lines[begin + 116], "/F33 {/ZapfChancery-MediumItalic Y} bind def");
    EXPECT_EQ(count_prefix(lines, "/F"), 34u + 1u);  // and "/F /fill load def"
    EXPECT_EQ(lines[begin + 117], "/#copies 1 def");
    EXPECT_EQ(lines[begin + 118], "");
    EXPECT_EQ(lines[begin + 119], "%%EndProlog");
    EXPECT_EQ(lines[begin + 121], "%%BeginSetup");
}

TEST(PsDocument, EuropeanFontBlock)
{
    Doc doc(ps_mode_portrait | ps_mode_european);
    const auto lines = lines_of(doc.finish());
    const std::size_t start = index_of(lines, "% START OF EUROPEAN FONT DEFINITION");
    ASSERT_LT(start, lines.size());
    EXPECT_EQ(lines[start - 1], "/F33 {/ZapfChancery-MediumItalic Y} bind def");
    EXPECT_EQ(lines[start + 1], "% Reencode standard font map to European font map");
    EXPECT_EQ(lines[start + 2], "%");
    EXPECT_EQ(lines[start + 12], "        { exch dup /FID ne ");
    EXPECT_EQ(lines[start + 15], "                    newfont 3 1 roll put }");
    EXPECT_EQ(lines[start + 29], "} def");
    EXPECT_EQ(lines[start + 30], "");
    EXPECT_EQ(lines[start + 31], "/eurovec[");
    EXPECT_EQ(lines[start + 32], "8#260 /Aacute");
    EXPECT_EQ(lines[start + 73], "8#376 /aring");
    EXPECT_EQ(lines[start + 74], "] def");
    EXPECT_EQ(count_prefix(lines, "8#"), 42u);
    // All 34 fonts of the table, in order, then the block's end.
    EXPECT_EQ(lines[start + 75], "/Helvetica /Helvetica eurovec ReEncodeSmall");
    EXPECT_EQ(lines[start + 108],
              "/ZapfChancery-MediumItalic /ZapfChancery-MediumItalic eurovec ReEncodeSmall");
    EXPECT_EQ(lines[start + 109], "% END OF EUROPEAN FONT DEFINITION");
    EXPECT_EQ(lines[start + 110], "/#copies 1 def");
}

TEST(PsDocument, Backgrounds)
{
    struct Case {
        int colour[3];
        const char* line;  // null: no clippath line
    };
    const Case cases[] = {
        {{255, 255, 255}, nullptr},
        {{128, 128, 128}, "clippath 0.502 A F N\n"},
        {{255, 0, 0}, "clippath 1 0 0 C F N\n"},
        {{0, 255, 255}, "clippath 0 1 1 C F N\n"},
    };
    for (const Case& c : cases) {
        Doc doc(0, c.colour);
        const std::string after = section(doc.finish(), "%%EndSetup\n", "%%Trailer");
        EXPECT_EQ(after, std::string("%%EndSetup\n") + (c.line ? c.line : "")) << c.colour[0];
    }
}

TEST(PsDocument, OriginShiftScalesAndUnits)
{
    testkit::ScratchDir dir;
    const std::string path = dir.file("o.ps");
    // Inch, 72 units per inch, shifted origin, doubled x scale, portrait.
    ASSERT_EQ(ps_begin_document(path.c_str(), 0, 1, 0.5, -1.25, 2.0, 1.0, 3, 72, ps_unit_inch,
                                8.5, pstest::white, nullptr),
              0);
    ps_end_document(1);
    std::string text = testkit::read_file(path);
    EXPECT_EQ(section(text, "% Scale", "%%EndSetup"),
              "% Scale is originally set to 1, which means that\n"
              "% 1 inch on the paper equals 72 Postscript units\n"
              "2 1 scale\n"
              "36 -90 T\n"
              "S 0 A\n"
              "% End of pslib header\n");
    EXPECT_NE(text.find("/#copies 3 def\n"), std::string::npos);
    EXPECT_NE(text.find("\nS -36 90 T 0.5 1 scale showpage\n"), std::string::npos);

    // Metre, landscape on an A4 width of 0.21 m.
    ASSERT_EQ(ps_begin_document(path.c_str(), 0, 0, 0.0, 0.0, 1.0, 1.0, 1, 10000, ps_unit_m,
                                0.21, pstest::white, nullptr),
              0);
    ps_end_document(1);
    text = testkit::read_file(path);
    EXPECT_EQ(section(text, "% Scale", "S 0 A"),
              "% Scale is originally set to 0.283465, which means that\n"
              "% 1 m on the paper equals 10000 Postscript units\n"
              "595 0 T 90 R\n"
              "0.283465 0.283465 scale\n");
    EXPECT_NE(text.find("\nS 0 0 T 3.52778 3.52778 scale -90 R -595 0 T showpage\n"),
              std::string::npos);
}

TEST(PsDocument, OverlayAppendsWithoutHeader)
{
    Doc doc(0);
    ps_pen_to(1.0, 1.0, 3);
    ps_pen_to(2.0, 1.0, 2);
    const std::string first = doc.finish(0);
    EXPECT_TRUE(ends_with(first, "\n% End of pslib header\n%%EndSetup\n300 300 M\n300 0 D\nS\n"));
    EXPECT_EQ(first.find("%%Trailer"), std::string::npos);

    ASSERT_EQ(ps_begin_document(doc.path().c_str(), 1, 0, 1.0, 0.0, 1.0, 1.0, 1, 300, 0, 20.0,
                                pstest::white, nullptr),
              0);
    EXPECT_EQ(ps_state.landscape, 0);
    ps_pen_to(0.0, 0.0, 3);
    const std::string text = doc.finish(1);
    EXPECT_EQ(text.substr(first.size()),
              "%!PS-Adobe-3.0 EPSF-3.0\n"
              "300 0 T\n"
              "S 0 A\n"
              "% End of pslib header\n"
              "0 0 M\n"
              "%%Trailer\n"
              "% Reset translations and scale and call showpage\n"
              "S -300 0 T 10.5833 10.5833 scale showpage\n\n"
              "end\n");
}

TEST(PsDocument, StandardOutputStaysOpen)
{
    for (const char* name : {static_cast<const char*>(nullptr), ""}) {
        const auto r = testkit::run_in_child([name] {
            ps_begin_document(name, 0, 1, 0.0, 0.0, 1.0, 1.0, 1, 300, 0, 20.0, pstest::white,
                              nullptr);
            ps_pen_to(1.0, 2.0, 3);
            ps_end_document(1);
            std::fputs("after\n", stdout);
        });
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out.substr(0, 24), "%!PS-Adobe-3.0 EPSF-3.0\n");
        EXPECT_NE(r.out.find("\n300 600 M\n%%Trailer\n"), std::string::npos);
        EXPECT_EQ(r.out.substr(r.out.size() - 10), "end\nafter\n");
    }
}

TEST(PsDocument, OutputThatCannotBeOpened)
{
    testkit::ScratchDir dir;
    const std::string path = dir.file("missing/doc.ps");
    const auto r = testkit::run_in_child([&] {
        const int status = pstest::begin(path);
        // Calls after the failure are ignored instead of writing to nowhere.
        ps_pen_to(1.0, 1.0, 3);
        char text[] = "abc";
        ps_put_text(1.0, 1.0, 10, text, 0.0, 1, 0);
        ps_end_document(1);
        std::exit(status == -1 ? 7 : 0);
    });
    EXPECT_EQ(r.status, 7);
    EXPECT_EQ(r.err, "pslib: Cannot create/open file : " + path + "\n");
    EXPECT_EQ(r.out, "");
}

TEST(PsDocument, InvalidMeasureUnitEndsTheProgram)
{
    testkit::ScratchDir dir;
    const std::string path = dir.file("u.ps");
    const auto r = testkit::run_in_child([&] {
        ps_begin_document(path.c_str(), 0, 0, 0.0, 0.0, 1.0, 1.0, 1, 300, 3, 20.0, pstest::white,
                          nullptr);
    });
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "pslib: Measure unit not valid!\n");
    const std::string text = testkit::read_file(path);
    EXPECT_TRUE(ends_with(text, "\n% Scale is originally set to 0.24, which means that\n"));

    // An appended document does not look at the unit.
    const auto appended = testkit::run_in_child([&] {
        ps_begin_document(path.c_str(), 1, 0, 0.0, 0.0, 1.0, 1.0, 1, 300, 3, 20.0, pstest::white,
                          nullptr);
        ps_end_document(0);
    });
    EXPECT_EQ(appended.status, 0);
    EXPECT_EQ(appended.err, "");
}
