// The cairo back end of the drawing interface: PDF documents, SVG pages and
// PNG pages on A4 paper.
//
// It draws what the PostScript back end draws: the same coordinates rounded
// to drawing units, the same paper placement (a landscape drawing on a
// landscape page), the metric-compatible URW fonts for the PostScript ones,
// and a line of width 0 as a hairline (one pixel of a PNG page; 0.35 pt in
// PDF and SVG, where cairo itself would draw nothing). Lines of one style are
// gathered into one path and stroked when the style changes, which keeps
// documents small and quick to draw.
//
// A PDF document holds all pages. SVG and PNG write one file per page
// (page_file_name); each SVG page also carries every text it shows as
// invisible SVG text at its place, so that a viewer's search and a script
// find the labels that cairo writes as glyph outlines.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "draw/canvas.h"
#include "draw/canvas_factory.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

class CairoCanvas final : public Canvas {
public:
    explicit CairoCanvas(DrawFormat format);
    ~CairoCanvas() override;
    CairoCanvas(const CairoCanvas&) = delete;
    CairoCanvas& operator=(const CairoCanvas&) = delete;

    bool begin_document(const char* path, const PageSetup& setup, int pages) override;
    void begin_page(int number) override;
    void end_page() override;
    bool end_document() override;

    void move_to(double x, double y) override;
    void line_to(double x, double y) override;
    void move_by(double dx, double dy) override;
    void line_by(double dx, double dy) override;
    void line_width(int width) override;
    void paint(int red, int green, int blue) override;

    void rectangle(double x, double y, double w, double h, bool filled) override;
    void clip(double x, double y, double w, double h) override;
    void unclip() override;

    void font(int number) override;
    void text(double x, double y, int size, const char* text, double angle, int justify) override;

    int open_part() override;
    void draw_into(int part) override;
    bool insert_part(int part) override;
    void close_parts() override;

    // Paper size of the document's pages in points, and of a PNG page in
    // pixels.
    double page_width_points() const;
    double page_height_points() const;
    int png_width() const;
    int png_height() const;

private:
    // A drawing call kept in a part: one record in the part's file, a
    // text's characters after it.
    struct Op {
        enum Kind {
            move_to,
            line_to,
            move_by,
            line_by,
            width,
            paint,
            rectangle,
            clip,
            unclip,
            font,
            text
        };
        std::int32_t kind, i, j, length;
        double a, b, c, d;
    };
    // A text shown on an SVG page: its start in points from the top left
    // corner, size in points and angle counter-clockwise.
    struct Label {
        std::string text;
        double x, y, size, angle;
    };

    bool recording(Op::Kind kind, double a = 0, double b = 0, double c = 0, double d = 0, int i = 0,
                   int j = 0, const char* text = nullptr);
    void replay(const Op& op, const char* characters);
    void start_surface();
    void set_up_page();
    void stroke();
    bool write_page_file();
    void release();

    DrawFormat format_;
    std::string path_;
    PageSetup setup_;
    std::string title_;
    int pages_ = 1;
    int page_ = 0;  // page being drawn, 0 between pages
    bool ok_ = true;

    std::FILE* file_ = nullptr;  // the PDF document, or the open page file
    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
    std::string svg_;  // the SVG page as cairo writes it

    // The pen in drawing units, as the PostScript back end rounds it.
    int pen_x_ = 0, pen_y_ = 0;
    bool pending_ = false;  // the path holds lines not stroked yet
    int width_ = 1;
    std::vector<int> saved_widths_;  // widths at each open clip
    int font_ = 0;
    std::vector<Label> labels_;

    // Parts are temporary files without a name, as in the PostScript back
    // end, so that a part of any size takes no memory.
    std::vector<std::FILE*> parts_;
    int recording_ = -1;
};
