// Ghostscript as the page tests use it: rendering a document without output,
// the boxes its pages draw, the texts of its pages on an A4 sheet and the
// pages of a PDF made of it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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

// One text of a page as Ghostscript's text extraction gives it: the text, its
// font and size, and the two ends of its baseline in points on the A4 sheet,
// x from the left edge and y from the top edge.
struct SheetText {
    std::string text;
    std::string font;
    double size = 0;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};
using SheetPage = std::vector<SheetText>;

inline std::string xml_attribute(const std::string& line, const std::string& name) {
    const std::string start = " " + name + "=\"";
    const std::size_t a = line.find(start);
    if (a == std::string::npos) return "";
    const std::size_t b = line.find('"', a + start.size());
    return line.substr(a + start.size(), b - a - start.size());
}

// Every text of every page of a document on an A4 sheet
// (gs -sDEVICE=txtwrite -dTextFormat=0).
inline std::vector<SheetPage> sheet_texts(const std::string& dir, const std::string& name) {
    const std::string out = dir + "/text.xml";
    const std::string command = "cd '" + dir +
                                "' && gs -q -dSAFER -dBATCH -dNOPAUSE -sPAPERSIZE=a4 "
                                "-sDEVICE=txtwrite -dTextFormat=0 -sOutputFile='" +
                                out + "' '" + name + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return {};
    std::vector<SheetPage> pages;
    for (const std::string& line : testkit::lines_of(testkit::read_file(out))) {
        if (line.starts_with("<page")) pages.emplace_back();
        if (pages.empty()) continue;
        if (line.starts_with("<span ")) {
            SheetText t;
            std::sscanf(xml_attribute(line, "bbox").c_str(), "%d %d %d %d", &t.x0, &t.y0, &t.x1,
                        &t.y1);
            t.font = xml_attribute(line, "font");
            t.size = std::atof(xml_attribute(line, "size").c_str());
            pages.back().push_back(t);
        } else if (line.starts_with("<char ") && !pages.back().empty()) {
            pages.back().back().text += xml_attribute(line, "c");  // no text here needs escapes
        }
    }
    return pages;
}

// Pages of a PDF that ps2pdf makes of a document, counted by Ghostscript.
inline int pdf_pages(const std::string& dir, const std::string& name) {
    const std::string command =
        "cd '" + dir + "' && ps2pdf '" + name + "' pages.pdf >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return -1;
    return static_cast<int>(drawn_boxes(dir, "pages.pdf").size());
}

}  // namespace testkit
