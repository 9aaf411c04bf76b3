// Ghostscript as the page tests use it: rendering a document without output,
// the boxes its pages draw and the pages of a PDF made of it (the texts of
// its pages on an A4 sheet: sheet_text.h).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/testkit/sheet_text.h"
#include "tests/testkit/testkit.h"

namespace testkit {

inline bool have_ghostscript() { return std::system("gs --version >/dev/null 2>&1") == 0; }

// Renders a document without output; empty when Ghostscript reports nothing.
inline std::string ghostscript_errors(const std::string& dir, const std::string& name) {
    std::string log = dir + "/gs.log";
    std::string command = "cd '" + dir +
                          "' && gs -dSAFER -dBATCH -dNOPAUSE -sDEVICE=nullpage -q '" + name +
                          "' >'" + log + "' 2>&1";
    int status = std::system(command.c_str());
    std::string out = testkit::read_file(log);
    if (status != 0 && out.empty()) out = "gs exit status " + std::to_string(status);
    return out;
}

// Bounding boxes of what a document draws on each of its pages, as
// Ghostscript's bbox device measures them: x0, y0, x1, y1 in points. The
// device cuts a box off at 0, so a drawing that runs off the lower or left
// edge of the paper shows as 0. Empty when Ghostscript gives no box.
inline std::vector<std::vector<int>> drawn_boxes(const std::string& dir, const std::string& name) {
    std::string log = dir + "/bbox.log";
    std::string command = "cd '" + dir + "' && gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=bbox '" +
                          name + "' >'" + log + "' 2>&1";
    if (std::system(command.c_str()) != 0) return {};
    std::vector<std::vector<int>> boxes;
    for (const std::string& line : testkit::lines_of(testkit::read_file(log))) {
        int x0, y0, x1, y1;
        if (std::sscanf(line.c_str(), "%%%%BoundingBox: %d %d %d %d", &x0, &y0, &x1, &y1) == 4)
            boxes.push_back({x0, y0, x1, y1});
    }
    return boxes;
}

// Pages of a PDF that ps2pdf makes of a document, counted by Ghostscript.
inline int pdf_pages(const std::string& dir, const std::string& name) {
    const std::string command =
        "cd '" + dir + "' && ps2pdf '" + name + "' pages.pdf >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return -1;
    return static_cast<int>(drawn_boxes(dir, "pages.pdf").size());
}

}  // namespace testkit
