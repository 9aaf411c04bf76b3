// Pages rendered by Ghostscript into grey rasters, and the comparison of two
// renderings of the same page by two back ends.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/testkit/ghostscript.h"
#include "tests/testkit/testkit.h"

namespace testkit {

// A grey raster, rows from the top, 0 black to 255 white.
struct Raster {
    int width = 0, height = 0;
    std::vector<unsigned char> grey;
    int at(int x, int y) const { return grey[static_cast<std::size_t>(y) * width + x]; }
};

// Page 1 of `path` rendered by Ghostscript at `dpi` without anti-aliasing;
// PostScript on A4 paper, PDF on its own page size. Empty when it fails.
inline Raster render_page(const std::string& path, int dpi) {
    const std::string out = path + ".pgm";
    const std::string command = "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pgmraw -r" +
                                std::to_string(dpi) + " -sPAPERSIZE=a4 -dLastPage=1 -sOutputFile='" +
                                out + "' '" + path + "' >/dev/null 2>&1";
    Raster r;
    if (std::system(command.c_str()) != 0) return r;
    // Ghostscript's header: "P5", a comment line, width and height, "255",
    // each on a line of its own.
    const std::string data = read_file(out);
    std::size_t pos = 0;
    std::vector<std::string> header;
    while (header.size() < 3 && pos < data.size()) {
        const std::size_t end = data.find('\n', pos);
        if (end == std::string::npos) return r;
        if (data[pos] != '#') header.push_back(data.substr(pos, end - pos));
        pos = end + 1;
    }
    int width = 0, height = 0;
    if (header.size() < 3 || header[0] != "P5" || header[2] != "255" ||
        std::sscanf(header[1].c_str(), "%d %d", &width, &height) != 2)
        return r;
    const std::size_t size = static_cast<std::size_t>(width) * height;
    if (data.size() < pos + size) return r;
    r.width = width;
    r.height = height;
    r.grey.assign(data.begin() + static_cast<std::ptrdiff_t>(pos),
                  data.begin() + static_cast<std::ptrdiff_t>(pos + size));
    return r;
}

// The raster of a portrait sheet turned a quarter clockwise: the landscape
// page as a viewer shows it.
inline Raster turned_clockwise(const Raster& r) {
    Raster t;
    t.width = r.height;
    t.height = r.width;
    t.grey.resize(r.grey.size());
    for (int y = 0; y < t.height; ++y)
        for (int x = 0; x < t.width; ++x)
            t.grey[static_cast<std::size_t>(y) * t.width + x] =
                static_cast<unsigned char>(r.at(y, r.height - 1 - x));
    return t;
}

// Agreement of two renderings over their common area: a pixel agrees when
// the other raster has a pixel within one pixel of its place that differs by
// at most a quarter of the grey range.
struct Agreement {
    double all = 0;    // share of all pixels that agree
    double inked = 0;  // share of the pixels dark in either raster that agree
    long inked_pixels = 0;
};

inline Agreement compare_rasters(const Raster& a, const Raster& b) {
    Agreement g;
    const int w = std::min(a.width, b.width), h = std::min(a.height, b.height);
    long all = 0, agree = 0, inked = 0, inked_agree = 0;
    auto near = [&](const Raster& other, int x, int y, int value) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int xx = x + dx, yy = y + dy;
                if (xx >= 0 && yy >= 0 && xx < w && yy < h &&
                    std::abs(other.at(xx, yy) - value) <= 64)
                    return true;
            }
        return false;
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int va = a.at(x, y), vb = b.at(x, y);
            const bool ok = near(b, x, y, va) && near(a, x, y, vb);
            ++all;
            agree += ok;
            if (va < 128 || vb < 128) {
                ++inked;
                inked_agree += ok;
            }
        }
    g.all = all > 0 ? static_cast<double>(agree) / all : 0;
    g.inked = inked > 0 ? static_cast<double>(inked_agree) / inked : 0;
    g.inked_pixels = inked;
    return g;
}

}  // namespace testkit
