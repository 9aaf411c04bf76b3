// Pen moves and draws, line width, paint and font choice.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "tests/testkit/pslib_test_util.h"

using pstest::Doc;

TEST(PsDraw, MovesAndDraws) {
    Doc doc;
    EXPECT_EQ(doc.written([] { ps_pen_to(1.0, 2.0, 3); }), "300 600 M\n");
    EXPECT_EQ(ps_state.path_len, 1);
    EXPECT_EQ(doc.written([] { ps_pen_to(1.5, 2.0, 2); }), "150 0 D\n");
    EXPECT_EQ(ps_state.path_len, 2);
    // Pen already there: nothing at all, not even the stroke of -2.
    EXPECT_EQ(doc.written([] {
        ps_pen_to(1.5, 2.0, 2);
        ps_pen_to(1.5, 2.0, -2);
    }),
              "");
    EXPECT_EQ(ps_state.path_len, 2);
    EXPECT_EQ(doc.written([] { ps_pen_to(1.0, 1.0, -2); }), "-150 -300 D\nS\n");
    // Any code but 2 and -2 strokes and moves.
    EXPECT_EQ(doc.written([] { ps_pen_to(-1.0, 0.5, 0); }), "-300 150 M\n");
    EXPECT_EQ(ps_state.pen_x, -300);
    EXPECT_EQ(ps_state.pen_y, 150);
}

TEST(PsDraw, DrawsAreRelativeToTheRoundedPen) {
    Doc doc;
    // 0.001 cm steps are 0.3 units each: the rounded pen never drifts.
    const std::string text = doc.written([] {
        ps_pen_to(0.0, 0.0, 3);
        for (int i = 1; i <= 10; ++i) ps_pen_to(i * 0.001, 0.0, 2);
    });
    EXPECT_EQ(text, "0 0 M\n1 0 D\n1 0 D\n1 0 D\n");
    EXPECT_EQ(ps_state.pen_x, 3);
}

TEST(PsDraw, RoundingHalvesAwayFromZero) {
    testkit::ScratchDir dir;
    const std::string path = dir.file("r.ps");
    // Two units per centimetre make the products exact halves.
    ASSERT_EQ(ps_begin_document(path.c_str(), 0, 1, 0.0, 0.0, 1.0, 1.0, 1, 2, 0, 20.0,
                                pstest::white, nullptr),
              0);
    std::fflush(ps_state.out);
    const std::size_t before = testkit::read_file(path).size();
    ps_pen_to(1.25, -1.25, 3);
    ps_pen_to(1.24995, 0.0, 3);
    ps_pen_by(-1.25, 0.25, 3);
    ps_pen_by(0.2, -0.2, 3);  // 0.4 and -0.4: nothing
    ps_end_document(0);
    EXPECT_EQ(testkit::read_file(path).substr(before), "3 -3 M\n2 0 M\n-3 1 G\nS\n");
}

TEST(PsDraw, LongPathIsStrokedAndRestarted) {
    Doc doc;
    std::string text = doc.written([] {
        ps_pen_to(0.0, 0.0, 3);
        for (int i = 1; i <= 1499; ++i) ps_pen_to(i * 0.01, (i % 2) * 0.01, 2);
    });
    EXPECT_EQ(ps_state.path_len, 1500);
    EXPECT_EQ(text.find("S "), std::string::npos);
    EXPECT_EQ(doc.written([] { ps_pen_to(15.0, 0.0, 2); }), "3 -3 D\nS 4500 0 M\n");
    EXPECT_EQ(ps_state.path_len, 1);
    // Counting starts again: 1499 further draws, then the next restart.
    text = doc.written([] {
        for (int i = 1; i <= 1499; ++i) ps_pen_to(15.0 + i * 0.01, 0.0, 2);
    });
    EXPECT_EQ(text.find("S "), std::string::npos);
    EXPECT_EQ(doc.written([] { ps_pen_to(0.0, 0.0, -2); }), "-8997 0 D\nS\nS 0 0 M\n");

    // Relative draws are not broken up.
    ps_pen_to(0.0, 0.0, 3);
    text = doc.written([] {
        for (int i = 0; i < 2000; ++i) ps_pen_by(0.01, 0.0, 2);
    });
    EXPECT_EQ(text.find("S "), std::string::npos);
    EXPECT_EQ(ps_state.path_len, 2001);
    EXPECT_EQ(doc.written([] { ps_pen_to(0.0, 0.0, 2); }), "-6000 0 D\nS 0 0 M\n");
}

TEST(PsDraw, PenBy) {
    Doc doc;
    ps_pen_to(1.0, 1.0, 3);
    EXPECT_EQ(doc.written([] { ps_pen_by(0.1, 0.0, 3); }), "30 0 G\n");
    EXPECT_EQ(ps_state.path_len, 1);
    EXPECT_EQ(doc.written([] { ps_pen_by(0.0001, 0.0, 3); }), "");
    EXPECT_EQ(doc.written([] { ps_pen_by(0.0, -0.5, 2); }), "0 -150 D\n");
    EXPECT_EQ(doc.written([] { ps_pen_by(0.1, 0.1, -2); }), "30 30 D\nS\n");
    EXPECT_EQ(ps_state.path_len, 3);
    EXPECT_EQ(ps_state.pen_x, 360);
    EXPECT_EQ(ps_state.pen_y, 180);
}

TEST(PsDraw, CoordinatesOutOfRangeAreHeld) {
    Doc doc;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::string text = doc.written([nan] {
        ps_pen_to(1e300, -1e300, 3);
        ps_pen_to(-1e300, 1e300, 2);
        ps_pen_to(nan, 0.0, 3);
        ps_pen_by(1e300, 1e300, 3);
        ps_pen_by(1e300, 0.0, 2);
    });
    EXPECT_EQ(text,
              "2147483647 -2147483648 M\n"
              "-4294967295 4294967295 D\n"
              "0 0 M\n"
              "2147483647 2147483647 G\n"
              "2147483647 0 D\n");
    EXPECT_EQ(ps_state.pen_x, 2147483647);
}

TEST(PsDraw, LineWidthPaintAndFont) {
    Doc doc;
    EXPECT_EQ(doc.written([] { ps_line_width(0); }), "S 0 W\n");
    EXPECT_EQ(doc.written([] { ps_line_width(12); }), "S 12 W\n");
    EXPECT_EQ(doc.written([] { ps_paint(100, 100, 100); }), "S 0.392 A\n");
    EXPECT_EQ(doc.written([] { ps_paint(255, 100, 100); }), "S 1 0.392 0.392 C\n");
    EXPECT_EQ(doc.written([] { ps_paint(0, 0, 255); }), "S 0 0 1 C\n");
    EXPECT_EQ(doc.written([] { ps_paint(1, 1, 1); }), "S 0.00392 A\n");
    EXPECT_EQ(doc.written([] { ps_select_font(33); }), "");
    EXPECT_EQ(ps_state.font, 33);
}

TEST(PsDraw, MisuseIsReportedAndIgnored) {
    testkit::ScratchDir dir;
    const std::string path = dir.file("m.ps");
    const auto r = testkit::run_in_child([&] {
        pstest::begin(path);
        ps_select_font(5);
        ps_select_font(34);
        ps_select_font(-1);
        std::printf("font %d\n", ps_state.font);
        ps_line_width(-1);
        ps_paint(256, 0, 0);
        ps_paint(0, -1, 0);
        ps_paint(0, 0, 300);
        ps_end_document(0);
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "font 5\n");
    EXPECT_EQ(r.err,
              "pslib: Selected font out of range (34), ignored\n"
              "pslib: Selected font out of range (-1), ignored\n"
              "pslib: Selected linewidth is negative (-1), ignored\n"
              "pslib: Selected color is out of range (256/0/0), ignored\n"
              "pslib: Selected color is out of range (0/-1/0), ignored\n"
              "pslib: Selected color is out of range (0/0/300), ignored\n");
    const std::string text = testkit::read_file(path);
    EXPECT_EQ(text.substr(text.find("%%EndSetup")), "%%EndSetup\nS\n");
}

TEST(PsDraw, RectanglesAndClipping) {
    struct Row {
        std::function<void()> calls;
        const char* text;
    };
    const Row rows[] = {
        {[] { ps_rectangle(1.0, 2.0, 3.0, 0.5, 0); }, "300 600 M 900 0 D 0 150 D -900 0 D P S\n"},
        {[] { ps_rectangle(1.0, 2.0, 3.0, 0.5, 1); }, "300 600 M 900 0 D 0 150 D -900 0 D P F\n"},
        // A box of negative width runs to the left of its corner.
        {[] { ps_rectangle(1.0, 0.0, -1.0, 1.0, 1); }, "300 0 M -300 0 D 0 300 D 300 0 D P F\n"},
        {[] { ps_clip_rectangle(2.0, 1.0, 26.0, 18.0); },
         "S V 600 300 m 7800 0 D 0 5400 D -7800 0 D P clip N\n"},
        {[] { ps_unclip(); }, "S U\n"},
    };
    for (const Row& row : rows) {
        Doc doc;
        EXPECT_EQ(doc.written(row.calls), row.text);
        EXPECT_EQ(ps_state.path_len, 0);
    }
}
