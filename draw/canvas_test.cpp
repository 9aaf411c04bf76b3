#include "draw/canvas.h"

#include <gtest/gtest.h>

#include "draw/canvas_factory.h"

TEST(PageFileName, PageKOfSeveralGoesBeforeTheExtension) {
    struct Row {
        const char* path;
        int pages, k;
        const char* name;
    };
    const Row rows[] = {
        {"TP27-1.svg", 1, 1, "TP27-1.svg"},
        {"TP27-1.svg", 3, 2, "TP27-1-2.svg"},
        {"TP271.png", 2, 1, "TP271-1.png"},
        {"out/a.b/X-12.svg", 12, 12, "out/a.b/X-12-12.svg"},
        // A dot of a folder or a leading dot is no extension.
        {"out/a.b/X", 2, 1, "out/a.b/X-1"},
        {".svg", 2, 2, ".svg-2"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(page_file_name(r.path, r.pages, r.k), r.name) << r.path << " " << r.k;
}

TEST(DrawFormat, NamesAndExtensions) {
    struct Row {
        const char* name;
        DrawFormat format;
        const char* extension;
    };
    const Row rows[] = {
        {"ps", DrawFormat::ps, ".ps"},
        {"pdf", DrawFormat::pdf, ".pdf"},
        {"svg", DrawFormat::svg, ".svg"},
        {"png", DrawFormat::png, ".png"},
    };
    for (const Row& r : rows) {
        DrawFormat f = DrawFormat::ps;
        ASSERT_TRUE(parse_draw_format(r.name, &f)) << r.name;
        EXPECT_EQ(f, r.format);
        EXPECT_STREQ(draw_format_extension(f), r.extension);
    }
    DrawFormat f = DrawFormat::pdf;
    for (const char* bad : {"", "PDF", "eps", "pdf ", "p"})
        EXPECT_FALSE(parse_draw_format(bad, &f)) << bad;
    EXPECT_FALSE(parse_draw_format(nullptr, &f));
    EXPECT_EQ(f, DrawFormat::pdf);
    EXPECT_TRUE(draw_format_available(DrawFormat::ps));
    EXPECT_NE(make_canvas(DrawFormat::ps), nullptr);
}
