// Document frame: header, prologue, set-up, trailer, overlays and output.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <utility>

#include "tests/testkit/pslib_test_util.h"

using pstest::Doc;
using testkit::lines_of;

namespace {

std::size_t index_of(const std::vector<std::string>& lines, const std::string& line) {
    auto it = std::find(lines.begin(), lines.end(), line);
    return static_cast<std::size_t>(it - lines.begin());
}

std::size_t count_prefix(const std::vector<std::string>& lines, const std::string& prefix) {
    return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](auto& l) {
        return l.compare(0, prefix.size(), prefix) == 0;
    }));
}

// Text from the line `from` (included) up to the line `to` (excluded).
std::string section(const std::string& text, const std::string& from, const std::string& to) {
    const std::size_t a = text.find(from);
    const std::size_t b = text.find(to, a);
    if (a == std::string::npos || b == std::string::npos) return "<missing>";
    return text.substr(a, b - a);
}

bool ends_with(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Checks lines at their offsets from line `start`.
void expect_lines(const std::vector<std::string>& lines, std::size_t start,
                  const std::vector<std::pair<std::size_t, std::string>>& expected) {
    for (const auto& [offset, line] : expected) {
        ASSERT_LT(start + offset, lines.size());
        EXPECT_EQ(lines[start + offset], line) << "line " << offset;
    }
}

// The creation date as the C library writes it in the C locale.
std::string c_date(std::time_t when) {
    std::tm t = {};
    localtime_r(&when, &t);
    char text[64];
    std::strftime(text, sizeof text, "%%%%CreationDate: %a %b %d %H:%M:%S %Y", &t);
    return text;
}

}  // namespace

TEST(PsDocument, LandscapeSetUpAndTrailer) {
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

TEST(PsDocument, PortraitHasNoRotation) {
    Doc doc(ps_mode_portrait);
    EXPECT_EQ(ps_state.landscape, 0);
    const std::string text = doc.finish();
    EXPECT_EQ(text.find("90 R"), std::string::npos);
    EXPECT_NE(text.find("\n0.0944882 0.0944882 scale\n"), std::string::npos);
    EXPECT_NE(text.find("\nS 0 0 T 10.5833 10.5833 scale showpage\n\nend\n"), std::string::npos);
}

TEST(PsDocument, HeaderWithoutDocumentInformation) {
    for (int mode : {0, 1}) {
        const std::time_t before = std::time(nullptr);
        Doc doc(mode);
        const std::time_t after = std::time(nullptr);
        const auto lines = lines_of(doc.finish());
        expect_lines(lines, 0,
                     {{1, "%%BoundingBox: 0 0 612 792"},
                      {2, "%%Title: pslib v2.3 document"},
                      {3, "%%Creator: ???"},
                      {5, "%%Orientation: Portrait"},
                      {6, "%%EndComments"},
                      {7, ""},
                      {8, "%%BeginProlog"},
                      {10, "% Begin pslib header"},
                      {12, "250 dict begin"}});
        // English, day with a leading zero, whatever second the document got.
        EXPECT_TRUE(lines[4] == c_date(before) || lines[4] == c_date(after)) << lines[4];
    }
}

TEST(PsDocument, HeaderWithDocumentInformation) {
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

TEST(PsDocument, Prologue) {
    Doc doc(0);
    const auto lines = lines_of(doc.finish());
    const std::size_t begin = index_of(lines, "250 dict begin");
    expect_lines(lines, begin,
                 {{1, ""},
                  {2, "/A /setgray load def"},
                  {10, "/M {stroke moveto} bind def"},
                  {25, "/X {M dup 0 D dup -0.5 mul dup G 0 exch D S} bind def"},
                  {27, "/Z /show load def"},
                  {28, "/A0 {0 exch M 0 D D D D D 0 D P V A F U N} bind def"},
                  {33, "/C0 {0 360 arc V A F U N} bind def"},
                  {37, "/C4 {0 360 arc S} bind def"},
                  {64,
                   "/E1 {V T dup 0 exch M 0.726542528 mul -72 R dup 0 D 4 {72 R dup 0 D "
                   "-144 R dup 0 D} repeat pop P V A F U S U} bind def"},
                  {72,
                   "/H4 {V T dup dup 0.5 mul exch 0.866025404 mul M 5 {-60 R dup 0 D} repeat "
                   "pop P S U} bind def"},
                  {77, "/P4 {arc P S} bind def"},
                  {78, "/a {P V A F U N} def"},
                  {82, "/p {P S} def"},
                  {83, "/F0 {/Helvetica Y} bind def"},
                  {95, "/F12 {/Symbol Y} bind def"},
                  {116, "/F33 {/ZapfChancery-MediumItalic Y} bind def"},
                  {117, "/#copies 1 def"},
                  {118, ""},
                  {119, "%%EndProlog"},
                  {121, "%%BeginSetup"}});
    // 50 symbol procedures in the order of the families.
    const std::string families = "ACDRSTIEHP";
    for (std::size_t i = 0; i < 50; ++i)
        EXPECT_EQ(lines[begin + 28 + i].substr(0, 5),
                  std::string("/") + families[i / 5] + char('0' + i % 5) + " {");
}

TEST(PsDocument, EuropeanFontBlock) {
    Doc doc(ps_mode_portrait | ps_mode_european);
    const auto lines = lines_of(doc.finish());
    const std::size_t start = index_of(lines, "% START OF EUROPEAN FONT DEFINITION");
    ASSERT_LT(start, lines.size());
    expect_lines(
        lines, start - 1,
        {{0, "/F33 {/ZapfChancery-MediumItalic Y} bind def"},
         {2, "% Reencode standard font map to European font map"},
         {3, "%"},
         {13, "        { exch dup /FID ne "},
         {16, "                    newfont 3 1 roll put }"},
         {30, "} def"},
         {31, ""},
         {32, "/eurovec["},
         {33, "8#260 /Aacute"},
         {74, "8#376 /aring"},
         {75, "] def"},
         {76, "/Helvetica /Helvetica eurovec ReEncodeSmall"},
         {109, "/ZapfChancery-MediumItalic /ZapfChancery-MediumItalic eurovec ReEncodeSmall"},
         {110, "% END OF EUROPEAN FONT DEFINITION"},
         {111, "/#copies 1 def"}});
    EXPECT_EQ(count_prefix(lines, "8#"), 42u);
    EXPECT_EQ(count_prefix(lines, "/F"), 34u + 1u);  // and "/F /fill load def"
}

TEST(PsDocument, Backgrounds) {
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

TEST(PsDocument, OriginShiftScalesAndUnits) {
    testkit::ScratchDir dir;
    const std::string path = dir.file("o.ps");
    // Inch, 72 units per inch, shifted origin, doubled x scale, portrait.
    ASSERT_EQ(ps_begin_document(path.c_str(), 0, 1, 0.5, -1.25, 2.0, 1.0, 3, 72, ps_unit_inch, 8.5,
                                pstest::white, nullptr),
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
    ASSERT_EQ(ps_begin_document(path.c_str(), 0, 0, 0.0, 0.0, 1.0, 1.0, 1, 10000, ps_unit_m, 0.21,
                                pstest::white, nullptr),
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

TEST(PsDocument, OverlayAppendsWithoutHeader) {
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

TEST(PsDocument, StandardOutputStaysOpen) {
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

TEST(PsDocument, OutputThatCannotBeOpened) {
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

TEST(PsDocument, InvalidMeasureUnitEndsTheProgram) {
    testkit::ScratchDir dir;
    const std::string path = dir.file("u.ps");
    const auto r = testkit::run_in_child([&] {
        ps_begin_document(path.c_str(), 0, 0, 0.0, 0.0, 1.0, 1.0, 1, 300, 3, 20.0, pstest::white,
                          nullptr);
    });
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "pslib: Measure unit not valid!\n");
    // The document ended half way is not left behind, nor its temporary.
    EXPECT_FALSE(testkit::file_exists(path));
    EXPECT_EQ(testkit::read_folder_names(dir.path()), std::vector<std::string>{});

    // An appended document does not look at the unit.
    const auto appended = testkit::run_in_child([&] {
        ps_begin_document(path.c_str(), 1, 0, 0.0, 0.0, 1.0, 1.0, 1, 300, 3, 20.0, pstest::white,
                          nullptr);
        ps_end_document(0);
    });
    EXPECT_EQ(appended.status, 0);
    EXPECT_EQ(appended.err, "");
}

TEST(PsDocument, SeveralPagesEachWithItsOwnSetUp) {
    testkit::ScratchDir dir;
    const std::string path = dir.file("pages.ps");
    const int grey[3] = {128, 128, 128};
    ASSERT_EQ(ps_begin_pages(path.c_str(), 2, 0, 0.0, 0.0, 1.0, 1.0, 1, 300, ps_unit_cm, 20.0, grey,
                             nullptr),
              0);
    // Drawing collected in a part while the first page is drawn goes onto the
    // second; a stream that cannot be read back is refused.
    std::FILE* part = std::tmpfile();
    std::FILE* write_only = std::fopen(dir.file("part").c_str(), "w");
    ASSERT_TRUE(part != nullptr && write_only != nullptr);
    ps_begin_page(1);
    ps_pen_to(1.0, 1.0, 3);
    std::FILE* document = ps_redirect(part);
    ps_pen_to(2.0, 2.0, 3);
    ps_pen_to(3.0, 2.0, 2);
    EXPECT_EQ(ps_redirect(nullptr), part);
    EXPECT_EQ(ps_state.out, document);
    ps_end_page();
    ps_begin_page(2);
    EXPECT_EQ(ps_insert_part(part), 0);
    std::fputs("1 1 M\n", write_only);
    EXPECT_EQ(ps_insert_part(write_only), -1);
    EXPECT_EQ(ps_end_document(1), 0);  // ends the open page too
    std::fclose(part);
    std::fclose(write_only);
    const std::string text = testkit::read_file(path);

    EXPECT_EQ(text.substr(0, 15), "%!PS-Adobe-3.0\n");  // no EPSF: that is one page
    EXPECT_EQ(section(text, "%%Orientation", "\n\n"),
              "%%Orientation: Portrait\n%%Pages: 2\n%%EndComments");
    // The document's set-up leaves the coordinate system to the pages.
    EXPECT_EQ(section(text, "% 1 cm", "%%Page: 1 1"),
              "% 1 cm on the paper equals 300 Postscript units\n%%EndSetup\n");
    const std::string setup =
        "%%BeginPageSetup\n567 0 T 90 R\n0.0944882 0.0944882 scale\nS 0 A\n%%EndPageSetup\n"
        "clippath 0.502 A F N\n";
    EXPECT_EQ(section(text, "%%Page: 1 1", "%%Page: 2 2"),
              "%%Page: 1 1\n" + setup + "300 300 M\nS showpage\n");
    EXPECT_EQ(section(text, "%%Page: 2 2", "%%Trailer"),
              "%%Page: 2 2\n" + setup + "600 600 M\n300 0 D\nS showpage\n");
    EXPECT_TRUE(ends_with(text, "showpage\n%%Trailer\nend\n%%EOF\n"));
}
