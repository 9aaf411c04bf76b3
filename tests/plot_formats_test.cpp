// The pages as PDF, SVG and PNG (-f): the PDF page of a real file against its
// PostScript page, documents of several pages in every format, the file
// names, and the formats the program refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "draw/canvas_factory.h"
#include "tests/testkit/page_raster.h"
#include "tests/testkit/sheet_text.h"
#include "tests/testkit/sky_rinex.h"
#include "tests/testkit/testkit.h"

namespace {

using testkit::RunResult;
namespace fs = std::filesystem;

constexpr double a4_long_points = 297.0 / 25.4 * 72.0;

bool have(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Output of a command run in `dir`.
std::string output_of(const std::string& dir, const std::string& command) {
    const std::string out = dir + "/command.out";
    if (std::system(("cd '" + dir + "' && " + command + " >'" + out + "' 2>&1").c_str()) != 0)
        return "";
    return testkit::read_file(out);
}

// The page files in `dir` (the campaign overview aside), sorted by name.
std::vector<std::string> files_in(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string ext = entry.path().extension().string();
        const bool overview = entry.path().stem() == "zzCAMPAIGN";
        if (!overview && (ext == ".ps" || ext == ".pdf" || ext == ".svg" || ext == ".png"))
            names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Width and height of a PNG file from its header; 0 when it is none.
std::pair<int, int> png_size(const std::string& path) {
    const std::string data = testkit::read_file(path);
    if (data.size() < 24 || data.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {0, 0};
    auto number = [&](std::size_t at) {
        int v = 0;
        for (std::size_t i = at; i < at + 4; ++i) v = v * 256 + static_cast<unsigned char>(data[i]);
        return v;
    };
    return {number(16), number(20)};
}

// Left and right end and baseline of a text in points from the left and top
// edge of the page as a viewer shows it: a landscape PostScript page lies
// turned on its A4 sheet.
std::array<double, 3> upright(const testkit::SheetText& t, bool turned) {
    if (turned) return {a4_long_points - t.y0, a4_long_points - t.y1, double(t.x0)};
    return {double(t.x0), double(t.x1), double(t.y0)};
}

bool is_satellite(const std::string& text) {
    return text.size() == 3 && text[0] >= 'A' && text[0] <= 'Z' &&
           std::isdigit(static_cast<unsigned char>(text[2]));
}

TEST(PlotFormats, PdfPageOfARealFileDrawsItsPostScriptPage) {
    if (!draw_format_available(DrawFormat::pdf)) GTEST_SKIP() << "built without cairo";
    if (!testkit::have_ghostscript()) GTEST_SKIP() << "Ghostscript (gs) is not installed";
    testkit::ScratchDir dir;
    testkit::copy_test_data("07590920.05o", dir.path());
    ASSERT_EQ(testkit::run_lumerak({"-r07590920.05o"}, dir.path()).status, 0);
    for (const bool landscape : {true, false}) {
        SCOPED_TRACE(landscape ? "landscape" : "portrait");
        for (const char* format : {"-fps", "-fpdf"}) {
            std::vector<std::string> args = {"-g", format};
            if (!landscape) args.push_back("-p");
            const RunResult r = testkit::run_lumerak(args, dir.path());
            ASSERT_EQ(r.status, 0) << r.err;
        }
        ASSERT_EQ(files_in(dir.path()), (std::vector<std::string>{"0759-1.pdf", "0759-1.ps"}));
        if (have("pdfinfo")) {
            const std::string info = output_of(dir.path(), "pdfinfo 0759-1.pdf");
            EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
            EXPECT_NE(info.find(" (A4)\n"), std::string::npos) << info;
            EXPECT_NE(info.find("Title:           Signal/noise 0759 07590920.05o\n"),
                      std::string::npos)
                << info;
            EXPECT_NE(info.find("Creator:         Lumerakon "), std::string::npos) << info;
        }
        // The pictures agree.
        testkit::Raster ps = testkit::render_page(dir.file("0759-1.ps"), 100);
        const testkit::Raster pdf = testkit::render_page(dir.file("0759-1.pdf"), 100);
        ASSERT_GT(ps.width, 0);
        ASSERT_GT(pdf.width, 0);
        if (landscape) ps = testkit::turned_clockwise(ps);
        EXPECT_LE(std::abs(ps.width - pdf.width), 1);
        EXPECT_LE(std::abs(ps.height - pdf.height), 1);
        const testkit::Agreement g = testkit::compare_rasters(ps, pdf);
        EXPECT_GT(g.inked_pixels, 10000);
        EXPECT_GE(g.all, 0.98);
        EXPECT_GE(g.inked, 0.95);
        // Every row label stands at the same place within a point (the
        // extraction gives whole points).
        const auto ps_texts = testkit::sheet_texts(dir.path(), "0759-1.ps");
        const auto pdf_texts = testkit::sheet_texts(dir.path(), "0759-1.pdf");
        ASSERT_EQ(ps_texts.size(), 1u);
        ASSERT_EQ(pdf_texts.size(), 1u);
        int labels = 0;
        for (const testkit::SheetText& t : ps_texts[0]) {
            if (!is_satellite(t.text)) continue;
            ++labels;
            const auto same =
                std::find_if(pdf_texts[0].begin(), pdf_texts[0].end(),
                             [&](const testkit::SheetText& u) { return u.text == t.text; });
            ASSERT_NE(same, pdf_texts[0].end()) << t.text;
            const auto a = upright(t, landscape), b = upright(*same, false);
            for (int k = 0; k < 3; ++k) EXPECT_LE(std::fabs(a[k] - b[k]), 1.0) << t.text << " " << k;
        }
        EXPECT_EQ(labels, 11);
        for (const std::string& name : files_in(dir.path())) fs::remove(dir.file(name));
    }
}

// Satellites of a sky of three pages (GPS; GLONASS and Galileo; the rest).
std::vector<std::vector<std::string>> sky_pages(const std::vector<testkit::SkySystem>& sky) {
    std::vector<std::vector<std::string>> pages(3);
    for (const testkit::SkySystem& s : sky)
        for (int n = 1; n <= s.satellites; ++n) {
            char id[16];
            std::snprintf(id, sizeof id, "%c%02d", s.letter, n);
            pages[s.letter == 'G' ? 0 : s.letter == 'R' || s.letter == 'E' ? 1 : 2].push_back(id);
        }
    return pages;
}

// The texts of an SVG page, one line each, parsed as XML by Python's standard
// library (empty when the file is no well-formed XML).
std::string svg_texts(const std::string& dir, const std::string& name) {
    return output_of(dir,
                     "python3 -c \"import sys, xml.etree.ElementTree as E; "
                     "[print(t.text) for t in E.parse(sys.argv[1]).getroot().iter("
                     "'{http://www.w3.org/2000/svg}text')]\" '" +
                         name + "'");
}

TEST(PlotFormats, PagesOfAnOccupationInEveryFormatAndTheirFileNames) {
    if (!draw_format_available(DrawFormat::pdf)) GTEST_SKIP() << "built without cairo";
    const std::vector<testkit::SkySystem> sky = {{'G', 32}, {'R', 24}, {'E', 26}, {'C', 18},
                                                 {'J', 3},  {'I', 2},  {'S', 2}};
    const auto expected = sky_pages(sky);
    testkit::ScratchDir dir;
    ASSERT_TRUE(testkit::write_sky_rinex(dir.file("SKY10610.24o"), "SKY1", sky, 120));
    ASSERT_EQ(testkit::run_lumerak({"-rSKY10610.24o"}, dir.path()).status, 0);
    struct Row {
        std::vector<std::string> args;
        std::string document;  // as the run names it
        std::vector<std::string> files;
        int width, height;  // of each PNG page
    };
    const Row rows[] = {
        {{"-g", "-fpdf"}, "SKY1-1.pdf", {"SKY1-1.pdf"}, 0, 0},
        {{"-g", "-tSKY1", "-fpdf"}, "SKY11.pdf", {"SKY11.pdf"}, 0, 0},
        {{"-g", "-fsvg"}, "SKY1-1.svg", {"SKY1-1-1.svg", "SKY1-1-2.svg", "SKY1-1-3.svg"}, 0, 0},
        {{"-g", "-fpng"},
         "SKY1-1.png",
         {"SKY1-1-1.png", "SKY1-1-2.png", "SKY1-1-3.png"},
         1754,
         1240},
        {{"-g", "-p", "-fpng"},
         "SKY1-1.png",
         {"SKY1-1-1.png", "SKY1-1-2.png", "SKY1-1-3.png"},
         1240,
         1754},
        {{"-g", "-tSKY1", "-fsvg"},
         "SKY11.svg",
         {"SKY11-1.svg", "SKY11-2.svg", "SKY11-3.svg"},
         0,
         0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args[1] + " " + row.args.back());
        const RunResult r = testkit::run_lumerak(row.args, dir.path());
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("plot into '" + row.document + "'"), std::string::npos) << r.err;
        ASSERT_EQ(files_in(dir.path()), row.files);
        // The campaign overview of a run over every occupation comes in the
        // same format (one page here).
        const bool every_occupation = std::none_of(
            row.args.begin(), row.args.end(), [](const std::string& a) { return a.starts_with("-t"); });
        const std::string overview =
            "zzCAMPAIGN" + row.document.substr(row.document.rfind('.'));
        EXPECT_EQ(fs::exists(dir.file(overview)), every_occupation) << overview;
        fs::remove(dir.file(overview));
        for (std::size_t k = 0; k < row.files.size(); ++k) {
            const std::string& name = row.files[k];
            if (name.ends_with(".pdf") && have("pdfinfo")) {
                const std::string info = output_of(dir.path(), "pdfinfo '" + name + "'");
                EXPECT_NE(info.find("Pages:           3\n"), std::string::npos) << info;
                EXPECT_NE(info.find(" (A4)\n"), std::string::npos) << info;
            }
            if (name.ends_with(".png")) {
                EXPECT_EQ(png_size(dir.file(name)), std::make_pair(row.width, row.height));
            }
            if (name.ends_with(".svg") && have("python3")) {
                const std::string texts = svg_texts(dir.path(), name);
                ASSERT_FALSE(texts.empty()) << name << " is no well-formed XML";
                for (const std::string& id : expected[k])
                    EXPECT_NE(texts.find(id + "\n"), std::string::npos) << id << " in " << name;
                EXPECT_NE(texts.find("Page:  " + std::to_string(k + 1) + " of 3\n"),
                          std::string::npos)
                    << name;
            }
        }
        for (const std::string& name : row.files) fs::remove(dir.file(name));
    }
}

TEST(PlotFormats, AnUnknownFormatEndsTheRunBeforeAnythingIsWritten) {
    testkit::ScratchDir dir;
    testkit::copy_test_data("07590920.05o", dir.path());
    for (const char* format : {"-fxyz", "-fPDF", "-f", "-fps2"}) {
        SCOPED_TRACE(format);
        const RunResult r = testkit::run_lumerak({"-r07590920.05o", "-g", format}, dir.path());
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("-f takes one of ps, pdf, svg, png"), std::string::npos) << r.err;
        // Neither the read nor the plot ran.
        EXPECT_FALSE(fs::exists(dir.file("zzOBS.DAT")));
        EXPECT_TRUE(files_in(dir.path()).empty());
    }
    // A build without cairo refuses the formats it cannot write, alike.
    if (!draw_format_available(DrawFormat::pdf)) {
        const RunResult r = testkit::run_lumerak({"-r07590920.05o", "-g", "-fpdf"}, dir.path());
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("-fpdf: this build writes PostScript only"), std::string::npos)
            << r.err;
        EXPECT_FALSE(fs::exists(dir.file("zzOBS.DAT")));
    }
}

}  // namespace
