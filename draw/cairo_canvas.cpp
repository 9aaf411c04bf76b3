#include "draw/cairo_canvas.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <cmath>
#include <cstring>

#include "draw/output_file.h"
#include "pslib/pslib.h"
#include "support/version.h"

namespace {

// Drawing units per centimetre, points per centimetre, and the paper.
constexpr double units_per_cm = 300.0;
constexpr double points_per_cm = 72.0 / 2.54;
constexpr double a4_short_points = 210.0 / 25.4 * 72.0;
constexpr double a4_long_points = 297.0 / 25.4 * 72.0;
// A landscape drawing's y axis runs up from this line, in points from the
// top of the landscape page: the PostScript pages turn about a 20 cm paper
// width, rounded to whole points.
const double landscape_top_points = std::round(20.0 * points_per_cm);
// Width of a line of width 0 in PDF and SVG.
constexpr double hairline_points = 0.35;

constexpr double pi = 3.14159265358979323846;

// Rounds to the nearest integer, halves away from zero, as pslib does.
int round_units(double v) {
    v = v >= 0 ? v + 0.5 : v - 0.5;
    if (!(v > -2147483648.0 && v < 2147483647.0)) return 0;
    return static_cast<int>(v);
}

int to_units(double cm) { return round_units(cm * units_per_cm); }

// The URW font family, slant and weight standing in for a PostScript font of
// the font table.
struct FontFace {
    const char* family;
    bool italic, bold;
};

const FontFace font_faces[ps_font_count] = {
    {"Nimbus Sans", false, false},
    {"Nimbus Sans", false, true},
    {"Nimbus Sans", true, false},
    {"Nimbus Sans", true, true},
    {"Nimbus Roman", false, false},
    {"Nimbus Roman", false, true},
    {"Nimbus Roman", true, false},
    {"Nimbus Roman", true, true},
    {"Nimbus Mono PS", false, false},
    {"Nimbus Mono PS", false, true},
    {"Nimbus Mono PS", true, false},
    {"Nimbus Mono PS", true, true},
    {"Standard Symbols PS", false, false},
    {"URW Gothic", false, false},
    {"URW Gothic", true, false},
    {"URW Gothic", false, true},
    {"URW Gothic", true, true},
    {"URW Bookman", false, true},
    {"URW Bookman", true, true},
    {"URW Bookman", false, false},
    {"URW Bookman", true, false},
    {"Nimbus Sans Narrow", false, false},
    {"Nimbus Sans Narrow", false, true},
    {"Nimbus Sans Narrow", true, false},
    {"Nimbus Sans Narrow", true, true},
    {"C059", false, false},
    {"C059", true, false},
    {"C059", false, true},
    {"C059", true, true},
    {"P052", false, false},
    {"P052", true, false},
    {"P052", false, true},
    {"P052", true, true},
    {"Z003", true, false},
};

void put_utf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The text a page asked for as UTF-8: bytes above 127 are Latin-1 letters;
// the letter escapes of the PostScript texts ("@a" for a-ring and so on, "@@"
// for the sign) become their letters, and the escapes that switch fonts or
// raise and lower the text are left out.
std::string shown_text(const char* text) {
    std::string out;
    for (const char* p = text; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c != '@') {
            put_utf8(out, c);
            continue;
        }
        const char e = p[1];
        if (e == '\0') {
            out += '@';
            break;
        }
        ++p;
        switch (e) {
        case '@': out += '@'; break;
        case 'A': put_utf8(out, 0xC5); break;
        case 'a': put_utf8(out, 0xE5); break;
        case 'E': put_utf8(out, 0xC6); break;
        case 'e': put_utf8(out, 0xE6); break;
        case 'O': put_utf8(out, 0xD8); break;
        case 'o': put_utf8(out, 0xF8); break;
        case '%': {
            // "@%n%" and "@%%": the font number up to the closing sign.
            const char* close = std::strchr(p + 1, '%');
            if (close != nullptr) p = close;
            break;
        }
        case '~':
        case '-':
        case '+':
        case '#':
        case '!': break;
        default: out += '@'; put_utf8(out, static_cast<unsigned char>(e));
        }
    }
    return out;
}

// Text for an SVG document: the five characters of markup as references.
std::string xml_text(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default:
            // Control characters are no XML characters.
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
        }
    }
    return out;
}

cairo_status_t write_to_file(void* closure, const unsigned char* data, unsigned int length) {
    std::FILE* file = static_cast<std::FILE*>(closure);
    return std::fwrite(data, 1, length, file) == length ? CAIRO_STATUS_SUCCESS
                                                        : CAIRO_STATUS_WRITE_ERROR;
}

cairo_status_t append_to_string(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

CairoCanvas::CairoCanvas(DrawFormat format) : format_(format) {}

CairoCanvas::~CairoCanvas() {
    close_parts();
    release();
}

void CairoCanvas::release() {
    if (cr_ != nullptr) cairo_destroy(cr_);
    if (surface_ != nullptr) cairo_surface_destroy(surface_);
    if (file_ != nullptr) close_output_file(file_, path_.c_str(), false);
    cr_ = nullptr;
    surface_ = nullptr;
    file_ = nullptr;
}

double CairoCanvas::page_width_points() const {
    return setup_.landscape ? a4_long_points : a4_short_points;
}
double CairoCanvas::page_height_points() const {
    return setup_.landscape ? a4_short_points : a4_long_points;
}
int CairoCanvas::png_width() const {
    return static_cast<int>(std::lround(page_width_points() * png_dots_per_inch / 72.0));
}
int CairoCanvas::png_height() const {
    return static_cast<int>(std::lround(page_height_points() * png_dots_per_inch / 72.0));
}

bool CairoCanvas::begin_document(const char* path, const PageSetup& setup, int pages) {
    release();
    path_ = path != nullptr ? path : "";
    setup_ = setup;
    title_ = setup.title != nullptr ? setup.title : "";
    setup_.title = title_.c_str();
    pages_ = pages > 1 ? pages : 1;
    page_ = 0;
    ok_ = true;
    labels_.clear();
    // The PDF document, or the file of the first page, is made now so that an
    // output that cannot be created is known before anything is drawn.
    file_ = open_output_file(format_ == DrawFormat::pdf ? path_.c_str()
                                                        : page_file_name(path, pages_, 1).c_str());
    if (file_ == nullptr) return false;
    if (format_ == DrawFormat::pdf) {
        surface_ = cairo_pdf_surface_create_for_stream(write_to_file, file_, page_width_points(),
                                                       page_height_points());
        cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_TITLE, title_.c_str());
        const std::string creator = std::string(program_name) + " " + LUMERAK_VERSION;
        cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_CREATOR, creator.c_str());
        cr_ = cairo_create(surface_);
    }
    return true;
}

void CairoCanvas::start_surface() {
    if (format_ == DrawFormat::svg) {
        svg_.clear();
        surface_ = cairo_svg_surface_create_for_stream(append_to_string, &svg_, page_width_points(),
                                                       page_height_points());
    } else {
        surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, png_width(), png_height());
    }
    cr_ = cairo_create(surface_);
}

// The paper transform of the PostScript pages: y upwards in drawing units,
// scaled, and shifted to the drawing's origin; then a white page, black
// paint, PostScript's first line width of one unit, font 0.
void CairoCanvas::set_up_page() {
    cairo_identity_matrix(cr_);
    if (format_ == DrawFormat::png)
        cairo_scale(cr_, png_dots_per_inch / 72.0, png_dots_per_inch / 72.0);
    if (format_ != DrawFormat::pdf) {
        cairo_set_source_rgb(cr_, 1, 1, 1);
        cairo_paint(cr_);
    }
    const double s = setup_.scale * points_per_cm / units_per_cm;
    cairo_translate(cr_, 0, setup_.landscape ? landscape_top_points : page_height_points());
    cairo_scale(cr_, s, -s);
    cairo_translate(cr_, to_units(setup_.x_origin), to_units(setup_.y_origin));
    cairo_set_source_rgb(cr_, 0, 0, 0);
    cairo_new_path(cr_);
    pending_ = false;
    width_ = 1;
    font_ = 0;
    pen_x_ = pen_y_ = 0;
    saved_widths_.clear();
    labels_.clear();
}

void CairoCanvas::begin_page(int number) {
    if (page_ != 0) end_page();
    page_ = number;
    if (format_ != DrawFormat::pdf) {
        if (file_ == nullptr)
            file_ = open_output_file(page_file_name(path_.c_str(), pages_, number).c_str());
        if (file_ == nullptr) ok_ = false;
        start_surface();
    }
    if (cr_ != nullptr) set_up_page();
}

void CairoCanvas::stroke() {
    if (cr_ == nullptr) return;
    if (!pending_) {
        cairo_new_path(cr_);
        return;
    }
    double width = width_;
    if (width_ == 0) {
        // One pixel of a PNG page; a hairline of PDF and SVG, in drawing
        // units at the page's scale.
        const double points =
            format_ == DrawFormat::png ? 72.0 / png_dots_per_inch : hairline_points;
        width = points * units_per_cm / (points_per_cm * setup_.scale);
    }
    cairo_set_line_width(cr_, width);
    cairo_stroke(cr_);
    pending_ = false;
}

// Writes the SVG page, with its texts added before the end of the document,
// or the PNG page into the open page file and closes it.
bool CairoCanvas::write_page_file() {
    bool written = true;
    if (format_ == DrawFormat::svg) {
        const std::size_t end = svg_.rfind("</svg>");
        if (end == std::string::npos) return false;
        std::string texts =
            "<g id=\"texts\" fill-opacity=\"0\" font-family=\"Helvetica, Nimbus Sans, "
            "sans-serif\">\n";
        char number[160];
        for (const Label& l : labels_) {
            std::snprintf(number, sizeof number, "<text x=\"%.2f\" y=\"%.2f\" font-size=\"%.1f\"",
                          l.x, l.y, l.size);
            texts += number;
            if (l.angle != 0) {
                std::snprintf(number, sizeof number, " transform=\"rotate(%.3f %.2f %.2f)\"",
                              -l.angle, l.x, l.y);
                texts += number;
            }
            texts += '>';
            texts += xml_text(l.text);
            texts += "</text>\n";
        }
        texts += "</g>\n";
        std::string page = svg_.substr(0, end) + texts + svg_.substr(end);
        if (!title_.empty()) {
            // The title is the first element of the document.
            const std::size_t open = page.find("<svg");
            const std::size_t close = open == std::string::npos ? open : page.find('>', open);
            if (close != std::string::npos)
                page.insert(close + 1, std::string("\n<title>").append(xml_text(title_)).append("</title>"));
        }
        written = std::fwrite(page.data(), 1, page.size(), file_) == page.size();
        svg_.clear();
    } else {
        written = cairo_surface_write_to_png_stream(surface_, write_to_file, file_) ==
                  CAIRO_STATUS_SUCCESS;
    }
    written =
        close_output_file(file_, page_file_name(path_.c_str(), pages_, page_).c_str(), written);
    file_ = nullptr;
    return written;
}

void CairoCanvas::end_page() {
    if (page_ == 0 || cr_ == nullptr) {
        page_ = 0;
        return;
    }
    stroke();
    while (!saved_widths_.empty()) unclip();
    if (format_ == DrawFormat::pdf) {
        cairo_show_page(cr_);
    } else {
        cairo_destroy(cr_);
        cr_ = nullptr;
        cairo_surface_flush(surface_);
        if (format_ == DrawFormat::svg) cairo_surface_finish(surface_);
        ok_ = cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS && ok_;
        ok_ = file_ != nullptr && write_page_file() && ok_;
        cairo_surface_destroy(surface_);
        surface_ = nullptr;
    }
    page_ = 0;
}

bool CairoCanvas::end_document() {
    if (page_ != 0) end_page();
    close_parts();
    if (format_ == DrawFormat::pdf && cr_ != nullptr) {
        cairo_destroy(cr_);
        cr_ = nullptr;
        cairo_surface_finish(surface_);
        ok_ = cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS && ok_;
        cairo_surface_destroy(surface_);
        surface_ = nullptr;
    }
    if (file_ != nullptr) {
        ok_ = close_output_file(file_, path_.c_str(), ok_) && ok_;
        file_ = nullptr;
    }
    release();
    return ok_;
}

// True when the call is done with: kept in the part being drawn into, or
// dropped because no page is open.
bool CairoCanvas::recording(Op::Kind kind, double a, double b, double c, double d, int i, int j,
                            const char* text) {
    if (recording_ < 0) return cr_ == nullptr;
    const std::size_t length = text != nullptr ? std::strlen(text) : 0;
    const Op op = {kind, i, j, static_cast<std::int32_t>(length), a, b, c, d};
    std::FILE* part = parts_[recording_];
    if (std::fwrite(&op, sizeof op, 1, part) != 1 ||
        (length > 0 && std::fwrite(text, 1, length, part) != length))
        ok_ = false;
    return true;
}

void CairoCanvas::move_to(double x, double y) {
    if (recording(Op::move_to, x, y)) return;
    pen_x_ = to_units(x);
    pen_y_ = to_units(y);
    cairo_move_to(cr_, pen_x_, pen_y_);
}

void CairoCanvas::line_to(double x, double y) {
    if (recording(Op::line_to, x, y)) return;
    const int ix = to_units(x), iy = to_units(y);
    if (ix == pen_x_ && iy == pen_y_) return;
    pen_x_ = ix;
    pen_y_ = iy;
    cairo_line_to(cr_, ix, iy);
    pending_ = true;
}

void CairoCanvas::move_by(double dx, double dy) {
    if (recording(Op::move_by, dx, dy)) return;
    const int idx = to_units(dx), idy = to_units(dy);
    if (idx == 0 && idy == 0) return;
    pen_x_ += idx;
    pen_y_ += idy;
    cairo_move_to(cr_, pen_x_, pen_y_);
}

void CairoCanvas::line_by(double dx, double dy) {
    if (recording(Op::line_by, dx, dy)) return;
    const int idx = to_units(dx), idy = to_units(dy);
    if (idx == 0 && idy == 0) return;
    pen_x_ += idx;
    pen_y_ += idy;
    cairo_line_to(cr_, pen_x_, pen_y_);
    pending_ = true;
}

void CairoCanvas::line_width(int width) {
    if (width < 0) return;
    if (recording(Op::width, 0, 0, 0, 0, width)) return;
    if (width == width_) return;
    stroke();
    width_ = width;
}

void CairoCanvas::paint(int red, int green, int blue) {
    if (red < 0 || red > 255 || green < 0 || green > 255 || blue < 0 || blue > 255) return;
    if (recording(Op::paint, 0, 0, 0, 0, red, green * 256 + blue)) return;
    double r, g, b, a;
    cairo_pattern_get_rgba(cairo_get_source(cr_), &r, &g, &b, &a);
    if (std::lround(r * 255) == red && std::lround(g * 255) == green &&
        std::lround(b * 255) == blue)
        return;
    stroke();
    cairo_set_source_rgb(cr_, red / 255.0, green / 255.0, blue / 255.0);
}

void CairoCanvas::rectangle(double x, double y, double w, double h, bool filled) {
    if (recording(Op::rectangle, x, y, w, h, filled ? 1 : 0)) return;
    stroke();
    pen_x_ = to_units(x);
    pen_y_ = to_units(y);
    cairo_rectangle(cr_, pen_x_, pen_y_, to_units(w), to_units(h));
    if (filled) {
        cairo_fill(cr_);
    } else {
        pending_ = true;
        stroke();
    }
}

void CairoCanvas::clip(double x, double y, double w, double h) {
    if (recording(Op::clip, x, y, w, h)) return;
    stroke();
    cairo_save(cr_);
    saved_widths_.push_back(width_);
    cairo_rectangle(cr_, to_units(x), to_units(y), to_units(w), to_units(h));
    cairo_clip(cr_);
}

void CairoCanvas::unclip() {
    if (recording(Op::unclip)) return;
    if (saved_widths_.empty()) return;
    stroke();
    cairo_restore(cr_);
    width_ = saved_widths_.back();
    saved_widths_.pop_back();
}

void CairoCanvas::font(int number) {
    if (number < 0 || number >= ps_font_count) return;
    if (recording(Op::font, 0, 0, 0, 0, number)) return;
    font_ = number;
}

void CairoCanvas::text(double x, double y, int size, const char* text, double angle, int justify) {
    if (text == nullptr || std::strlen(text) >= static_cast<std::size_t>(ps_text_limit)) return;
    if (recording(Op::text, x, y, angle, 0, size, justify, text)) return;
    stroke();
    const std::string shown = shown_text(text);
    const unsigned j =
        justify < 0 ? 0u - static_cast<unsigned>(justify) : static_cast<unsigned>(justify);
    const int horizontal = static_cast<int>(j % 4);
    // Size and the vertical shift in drawing units, rounded as PostScript
    // writes them.
    const double size_cm = size / points_per_cm;
    const int size_units = round_units(size_cm * units_per_cm);
    const int shift = round_units(-0.5 * size_cm * ps_fonts[font_].cap_height *
                                  static_cast<double>(j / 4) * units_per_cm);
    pen_x_ = to_units(x);
    pen_y_ = to_units(y);

    const FontFace& face = font_faces[font_];
    cairo_save(cr_);
    cairo_translate(cr_, pen_x_, pen_y_);
    if (angle != 0) cairo_rotate(cr_, angle * pi / 180.0);
    cairo_select_font_face(cr_, face.family,
                           face.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           face.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    // Glyphs stand upright in the y-up drawing.
    cairo_matrix_t matrix;
    cairo_matrix_init_scale(&matrix, size_units, -size_units);
    cairo_set_font_matrix(cr_, &matrix);
    double start = 0;
    if (horizontal >= 2) {
        cairo_text_extents_t extents;
        cairo_text_extents(cr_, shown.c_str(), &extents);
        start = extents.x_advance / (horizontal - 4);
    }
    double label_x = start, label_y = shift;
    cairo_user_to_device(cr_, &label_x, &label_y);
    if (format_ == DrawFormat::svg)
        labels_.push_back({shown, label_x, label_y, size * setup_.scale, angle});
    cairo_move_to(cr_, start, shift);
    cairo_show_text(cr_, shown.c_str());
    cairo_restore(cr_);
    cairo_new_path(cr_);
}

int CairoCanvas::open_part() {
    std::FILE* part = open_temporary_file();
    if (part == nullptr) return -1;
    parts_.push_back(part);
    return static_cast<int>(parts_.size()) - 1;
}

void CairoCanvas::draw_into(int part) {
    if (recording_ < 0) stroke();
    recording_ = part >= 0 && part < static_cast<int>(parts_.size()) ? part : -1;
}

void CairoCanvas::replay(const Op& op, const char* characters) {
    switch (op.kind) {
    case Op::move_to: move_to(op.a, op.b); break;
    case Op::line_to: line_to(op.a, op.b); break;
    case Op::move_by: move_by(op.a, op.b); break;
    case Op::line_by: line_by(op.a, op.b); break;
    case Op::width: line_width(op.i); break;
    case Op::paint: paint(op.i, op.j / 256, op.j % 256); break;
    case Op::rectangle: rectangle(op.a, op.b, op.c, op.d, op.i != 0); break;
    case Op::clip: clip(op.a, op.b, op.c, op.d); break;
    case Op::unclip: unclip(); break;
    case Op::font: font(op.i); break;
    case Op::text: text(op.a, op.b, op.i, characters, op.c, op.j); break;
    }
}

bool CairoCanvas::insert_part(int part) {
    if (part < 0 || part >= static_cast<int>(parts_.size()) || recording_ >= 0) return false;
    std::FILE* file = parts_[part];
    if (std::fflush(file) != 0 || std::ferror(file) || std::fseek(file, 0, SEEK_SET) != 0)
        return false;
    // The part's drawing starts with a move or a style, as after a switch.
    stroke();
    Op op;
    std::string text;
    bool whole = true;
    while (std::fread(&op, sizeof op, 1, file) == 1) {
        text.assign(op.length > 0 && op.length < ps_text_limit ? op.length : 0, '\0');
        if (text.size() != static_cast<std::size_t>(op.length) ||
            std::fread(text.data(), 1, text.size(), file) != text.size()) {
            whole = false;
            break;
        }
        replay(op, text.c_str());
    }
    stroke();
    whole = whole && !std::ferror(file);
    std::fseek(file, 0, SEEK_END);
    return whole;
}

void CairoCanvas::close_parts() {
    recording_ = -1;
    for (std::FILE* part : parts_) std::fclose(part);
    parts_.clear();
}
