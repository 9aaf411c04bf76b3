// The cairo back end drawn into PNG pages and read back, its SVG pages, and
// one scene drawn by both back ends and rendered by Ghostscript.
#include "draw/cairo_canvas.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>

#include "draw/ps_canvas.h"
#include "tests/testkit/page_raster.h"
#include "tests/testkit/testkit.h"

namespace {

// Pixels of a PNG page of the back end, read back with cairo.
class PngPage {
public:
    explicit PngPage(const std::string& path)
        : surface_(cairo_image_surface_create_from_png(path.c_str())) {}
    ~PngPage() { cairo_surface_destroy(surface_); }
    bool loaded() const { return cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS; }
    int width() const { return cairo_image_surface_get_width(surface_); }
    int height() const { return cairo_image_surface_get_height(surface_); }
    // Dark pixels within the box from (x0, y0) to (x1, y1) in centimetres of
    // a landscape drawing at scale 1.
    int dark_in(double x0, double y0, double x1, double y1) const {
        const double px = 150 / 2.54;                                // pixels per centimetre
        const double top = std::round(20.0 * 72 / 2.54) * 150 / 72;  // y = 0, from the top
        const unsigned char* data = cairo_image_surface_get_data(surface_);
        const int stride = cairo_image_surface_get_stride(surface_);
        int dark = 0;
        for (int y = static_cast<int>(top - y1 * px); y <= static_cast<int>(top - y0 * px); ++y)
            for (int x = static_cast<int>(x0 * px); x <= static_cast<int>(x1 * px); ++x) {
                if (x < 0 || y < 0 || x >= width() || y >= height()) continue;
                const unsigned pixel =
                    *reinterpret_cast<const std::uint32_t*>(data + y * stride + 4 * x);
                const unsigned green = (pixel >> 8) & 0xff;
                dark += green < 128;
            }
        return dark;
    }

private:
    cairo_surface_t* surface_;
};

struct Probe {
    double x0, y0, x1, y1;
    bool dark;  // some pixel of the box is dark, or none is
};

TEST(CairoCanvas, PngPagesShowWhatIsDrawn) {
    struct Row {
        const char* what;
        std::function<void(Canvas&)> draw;
        std::vector<Probe> probes;
    };
    const Row rows[] = {
        {"a line of width 0 is a hairline",
         [](Canvas& c) {
             c.line_width(0);
             c.move_to(2.0, 5.0);
             c.line_to(20.0, 5.0);
         },
         {{9.0, 4.98, 11.0, 5.02, true}, {9.0, 5.1, 11.0, 5.3, false}}},
        {"width in drawing units: 40 is 0.133 cm",
         [](Canvas& c) {
             c.line_width(40);
             c.move_to(2.0, 10.0);
             c.line_by(18.0, 0.0);
         },
         {{9.0, 10.04, 11.0, 10.05, true}, {9.0, 10.1, 11.0, 10.3, false}}},
        {"lines of one style all drawn, also after a move by",
         [](Canvas& c) {
             c.line_width(12);
             c.move_to(2.0, 3.0);
             c.line_to(4.0, 3.0);
             c.move_by(2.0, 0.0);
             c.line_by(2.0, 0.0);
             c.paint(255, 255, 255);
         },
         {{2.5, 2.98, 3.5, 3.02, true}, {4.5, 2.9, 5.5, 3.1, false}, {6.5, 2.98, 7.5, 3.02, true}}},
        {"filled rectangle",
         [](Canvas& c) { c.rectangle(3.0, 3.0, 2.0, 1.0, true); },
         {{3.2, 3.2, 4.8, 3.8, true}, {5.2, 3.2, 6.0, 3.8, false}}},
        {"outlined rectangle",
         [](Canvas& c) {
             c.line_width(12);
             c.rectangle(3.0, 3.0, 2.0, 1.0, false);
         },
         {{3.2, 3.2, 4.8, 3.8, false}, {2.98, 3.2, 3.02, 3.8, true}}},
        {"clip cuts, unclip ends the cut",
         [](Canvas& c) {
             c.clip(3.0, 3.0, 2.0, 1.0);
             c.rectangle(0.0, 0.0, 10.0, 10.0, true);
             c.unclip();
             c.rectangle(12.0, 3.0, 1.0, 1.0, true);
         },
         {{3.2, 3.2, 4.8, 3.8, true},
          {5.2, 3.2, 6.0, 3.8, false},
          {3.2, 4.2, 4.8, 5.0, false},
          {12.2, 3.2, 12.8, 3.8, true}}},
        {"a part shows where it is inserted, not where it is drawn",
         [](Canvas& c) {
             const int part = c.open_part();
             c.draw_into(part);
             c.line_width(40);
             c.move_to(2.0, 8.0);
             c.line_to(20.0, 8.0);
             c.draw_into(-1);
             c.rectangle(2.0, 12.0, 1.0, 1.0, true);
         },
         {{9.0, 7.9, 11.0, 8.1, false}, {2.2, 12.2, 2.8, 12.8, true}}},
        {"text right of its anchor, or left with text_right",
         [](Canvas& c) {
             c.text(10.0, 10.0, 20, "SV", 0.0, text_left);
             c.text(10.0, 14.0, 20, "SV", 0.0, text_right);
         },
         {{10.0, 10.0, 11.0, 10.6, true},
          {9.0, 10.0, 9.95, 10.6, false},
          {9.0, 14.0, 9.95, 14.6, true},
          {10.05, 14.0, 11.0, 14.6, false}}},
        {"text turned by 90 degrees runs upwards",
         [](Canvas& c) { c.text(10.0, 10.0, 20, "SVSV", 90.0, text_left); },
         {{9.4, 10.2, 10.0, 11.5, true}, {10.2, 9.4, 12.0, 10.0, false}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        testkit::ScratchDir dir;
        const std::string path = dir.file("page.png");
        CairoCanvas canvas(DrawFormat::png);
        ASSERT_TRUE(canvas.begin_document(path.c_str(), PageSetup{}, 1));
        canvas.begin_page(1);
        row.draw(canvas);
        canvas.end_page();
        ASSERT_TRUE(canvas.end_document());
        PngPage png(path);
        ASSERT_TRUE(png.loaded());
        EXPECT_EQ(png.width(), 1754);
        EXPECT_EQ(png.height(), 1240);
        for (const Probe& p : row.probes)
            EXPECT_EQ(png.dark_in(p.x0, p.y0, p.x1, p.y1) > 0, p.dark)
                << p.x0 << " " << p.y0 << " " << p.x1 << " " << p.y1;
    }
}

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
