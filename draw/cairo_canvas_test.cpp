// The cairo back end's SVG pages, and one scene drawn by both back ends and
// rendered by Ghostscript.
#include "draw/cairo_canvas.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "draw/ps_canvas.h"
#include "tests/testkit/page_raster.h"
#include "tests/testkit/testkit.h"

namespace {

TEST(CairoCanvas, SvgAndPngWriteOneFilePerPageAndSvgNamesItsTexts) {
    testkit::ScratchDir dir;
    const std::string path = dir.file("X-1.svg");
    CairoCanvas canvas(DrawFormat::svg);
    PageSetup setup;
    setup.title = "Stations & <pages>";
    ASSERT_TRUE(canvas.begin_document(path.c_str(), setup, 2));
    // A part drawn before the pages goes onto both.
    const int part = canvas.open_part();
    canvas.draw_into(part);
    canvas.text(5.0, 5.0, 8, "G01", 0.0, text_right);
    canvas.draw_into(-1);
    for (int k = 1; k <= 2; ++k) {
        canvas.begin_page(k);
        ASSERT_TRUE(canvas.insert_part(part));
        canvas.text(5.0, 6.0, 8, k == 1 ? "a<b & c" : "@a side", 30.0, text_left);
        canvas.end_page();
    }
    ASSERT_TRUE(canvas.end_document());
    EXPECT_FALSE(std::filesystem::exists(path));
    const std::string one = testkit::read_file(dir.file("X-1-1.svg"));
    const std::string two = testkit::read_file(dir.file("X-1-2.svg"));
    for (const std::string* page : {&one, &two}) {
        EXPECT_NE(page->find("<title>Stations &amp; &lt;pages&gt;</title>"), std::string::npos);
        EXPECT_NE(page->find(">G01</text>"), std::string::npos);
        EXPECT_TRUE(page->ends_with("</svg>\n")) << page->substr(page->size() - 40);
    }
    EXPECT_NE(one.find(">a&lt;b &amp; c</text>"), std::string::npos);
    EXPECT_NE(one.find(" transform=\"rotate(-30.000 "), std::string::npos);
    EXPECT_NE(two.find(">\xC3\xA5 side</text>"), std::string::npos);  // the letter escape
}

// One scene of lines, boxes, a clip and texts at every anchor and three
// angles, drawn on a portrait page by both back ends: the PostScript and the
// PDF rendered by Ghostscript agree.
TEST(CairoCanvas, PostScriptAndPdfOfOneSceneAgree) {
    if (!testkit::have_ghostscript()) GTEST_SKIP() << "Ghostscript (gs) is not installed";
    auto scene = [](Canvas& c) {
        c.begin_page(1);
        c.line_width(0);
        for (int k = 0; k < 10; ++k) {
            c.move_to(1.0, 1.0 + k);
            c.line_to(19.0, 1.5 + k);
        }
        c.paint(0, 0, 200);
        c.line_width(24);
        c.rectangle(2.0, 12.0, 5.0, 3.0, false);
        c.paint(120, 120, 120);
        c.rectangle(8.0, 12.0, 5.0, 3.0, true);
        c.clip(14.0, 12.0, 3.0, 3.0);
        c.paint(0, 0, 0);
        c.rectangle(13.0, 11.0, 10.0, 10.0, true);
        c.unclip();
        for (int j = 0; j < 12; ++j) {
            c.font(j % 3 == 0 ? 0 : j % 3 == 1 ? 4 : 8);
            c.text(2.0 + 1.5 * j, 18.0, 10, "Gg07", j < 4 ? 0.0 : j < 8 ? 30.0 : -90.0, j);
        }
        c.end_page();
    };
    testkit::ScratchDir dir;
    PageSetup setup;
    setup.landscape = false;
    PsCanvas ps;
    ASSERT_TRUE(ps.begin_document(dir.file("scene.ps").c_str(), setup, 1));
    scene(ps);
    ASSERT_TRUE(ps.end_document());
    CairoCanvas pdf(DrawFormat::pdf);
    ASSERT_TRUE(pdf.begin_document(dir.file("scene.pdf").c_str(), setup, 1));
    scene(pdf);
    ASSERT_TRUE(pdf.end_document());
    const testkit::Raster a = testkit::render_page(dir.file("scene.ps"), 100);
    const testkit::Raster b = testkit::render_page(dir.file("scene.pdf"), 100);
    ASSERT_GT(a.width, 0);
    ASSERT_GT(b.width, 0);
    const testkit::Agreement g = testkit::compare_rasters(a, b);
    EXPECT_GT(g.inked_pixels, 20000);
    EXPECT_GE(g.all, 0.98);
    EXPECT_GE(g.inked, 0.95);
}

}  // namespace
