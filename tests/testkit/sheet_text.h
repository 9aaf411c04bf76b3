// The texts of a rendered document as Ghostscript's text extraction gives
// them, page by page.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/testkit/testkit.h"

namespace testkit {

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

// Every text of every page of a document (gs -sDEVICE=txtwrite
// -dTextFormat=0): PostScript on an A4 sheet, PDF on its own page size.
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

}  // namespace testkit
