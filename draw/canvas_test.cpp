#include "draw/canvas.h"

#include <gtest/gtest.h>

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
