// The documents the library writes are run through Ghostscript, which must
// render them without any PostScript error.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/testkit/pslib_test_util.h"

namespace {

bool have_ghostscript() { return std::system("gs --version >/dev/null 2>&1") == 0; }

struct GsResult {
    int status = -1;
    std::string output;
};

// Renders `path` (all pages) to the null device; PostScript errors make gs
// fail and print "Error".
GsResult render(const std::string& path) {
    GsResult result;
    const std::string command =
        "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=nullpage '" + path + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[512];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

void expect_renders(const std::string& path) {
    const GsResult r = render(path);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output.find("Error"), std::string::npos) << r.output;
}

#define REQUIRE_GHOSTSCRIPT()                                                               \
    do {                                                                                    \
        if (!have_ghostscript()) GTEST_SKIP() << "gs not installed: rendering not checked"; \
    } while (0)

// Text through every escape, in the current font.
void escape_texts(double y, int justify, int outline) {
    const char* texts[] = {
        "plain (text) [with] {brackets} <and> \\101",
        "x@-2@- and m@+2@+ with @#small caps@# text",
        "@~abgd@~ Symbol and @%4%Times@%% back, @%9%Courier@%%",
        "Scandinavian @A@a @E@e @O@o and @@ sign",
        "Overstrike @!/O @!=@e @!(| end",
        "unfinished @%3 and @! and @",
        "@#nested @-sub@- caps@# @+@~p@~@+",
    };
    for (const char* t : texts) {
        std::string text = t;
        ps_put_text(1.0, y, 9, text.data(), 0.0, justify, outline);
        y -= 0.6;
    }
}

}  // namespace

TEST(PsRender, EveryFontAndEscapeInBothOrientations) {
    REQUIRE_GHOSTSCRIPT();
    for (int mode : {0, ps_mode_portrait, ps_mode_european, ps_mode_portrait | ps_mode_european}) {
        const int grey[3] = {230, 230, 230};
        pstest::Doc doc(mode, grey);
        ASSERT_EQ(doc.status(), 0);
        ps_line_width(3);
        ps_paint(200, 0, 0);
        ps_pen_to(0.5, 0.5, 3);
        ps_pen_to(19.5, 0.5, 2);
        ps_pen_by(0.0, 13.0, 2);
        ps_pen_to(0.5, 13.5, -2);
        ps_paint(0, 0, 0);
        for (int font = 0; font < ps_font_count; ++font) {
            ps_select_font(font);
            std::string name = std::string(ps_fonts[font].name) + " @a@o";
            ps_put_text(1.0 + (font / 17) * 9.0, 13.0 - (font % 17) * 0.5, 10, name.data(),
                        font % 3 == 0 ? 15.0 : 0.0, font % 12, font % 5 == 4);
        }
        ps_select_font(0);
        escape_texts(4.5, 2, 0);
        escape_texts(4.5, -11, 1);
        doc.finish();
        expect_renders(doc.path());
    }
}

TEST(PsRender, OverlayPairAndStandardOutput) {
    REQUIRE_GHOSTSCRIPT();
    pstest::Doc doc(ps_mode_european);
    ps_pen_to(1.0, 1.0, 3);
    ps_pen_to(5.0, 5.0, 2);
    char first[] = "first part";
    ps_put_text(1.0, 6.0, 12, first, 0.0, 1, 0);
    doc.finish(0);
    ASSERT_EQ(ps_begin_document(doc.path().c_str(), 1, 0, 2.0, 1.0, 1.0, 1.0, 1, 300, 0, 20.0,
                                pstest::white, nullptr),
              0);
    ps_paint(0, 0, 255);
    ps_pen_to(0.0, 0.0, 3);
    ps_pen_to(4.0, 0.0, 2);
    char second[] = "second @a part";
    ps_put_text(0.0, 1.0, 12, second, 30.0, 6, 0);
    doc.finish(1);
    expect_renders(doc.path());

    // A document on standard output, captured and rendered.
    const auto r = testkit::run_in_child([] {
        ps_begin_document(nullptr, 0, 1, 0.0, 0.0, 1.0, 1.0, 1, 300, 0, 20.0, pstest::white,
                          nullptr);
        char text[] = "on standard output";
        ps_put_text(2.0, 2.0, 14, text, 0.0, 1, 0);
        ps_end_document(1);
    });
    ASSERT_EQ(r.status, 0);
    testkit::ScratchDir dir;
    testkit::write_file(dir.file("stdout.ps"), r.out);
    expect_renders(dir.file("stdout.ps"));
}
