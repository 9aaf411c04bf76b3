#include "draw/ps_canvas.h"

#include <unistd.h>

#include <string>

#include "pslib/pslib.h"

namespace {

// Drawing units per centimetre and the paper width the landscape rotation
// turns about, as the pages have always been written.
constexpr int units_per_cm = 300;
constexpr double paper_width_cm = 20.0;

// A temporary file without a name: the system removes it when it is closed,
// also when the run ends in between. Null when none can be made.
std::FILE* open_temporary() {
    char name[] = "/tmp/lumerak-page-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return nullptr;
    close(fd);
    std::FILE* part = std::fopen(name, "w+b");
    std::remove(name);
    return part;
}

}  // namespace

PsCanvas::~PsCanvas() { close_parts(); }

bool PsCanvas::begin_document(const char* path, const PageSetup& setup, int pages) {
    const int white[3] = {255, 255, 255};
    const int mode = setup.landscape ? 0 : ps_mode_portrait;
    pages_ = pages;
    const int opened = pages <= 1
                           ? ps_begin_document(path, 0, mode, setup.x_origin, setup.y_origin,
                                               setup.scale, setup.scale, 1, units_per_cm,
                                               ps_unit_cm, paper_width_cm, white, nullptr)
                           : ps_begin_pages(path, pages, mode, setup.x_origin, setup.y_origin,
                                            setup.scale, setup.scale, 1, units_per_cm, ps_unit_cm,
                                            paper_width_cm, white, nullptr);
    return opened == 0;
}

// A document of one page is set up for drawing when it opens and shows its
// page when it ends.
void PsCanvas::begin_page(int number) {
    if (pages_ > 1) ps_begin_page(number);
}

void PsCanvas::end_page() {
    if (pages_ > 1) ps_end_page();
}

bool PsCanvas::end_document() { return ps_end_document(1) == 0; }

void PsCanvas::move_to(double x, double y) { ps_pen_to(x, y, ps_pen_move); }
void PsCanvas::line_to(double x, double y) { ps_pen_to(x, y, ps_pen_draw); }
void PsCanvas::move_by(double dx, double dy) { ps_pen_by(dx, dy, ps_pen_move); }
void PsCanvas::line_by(double dx, double dy) { ps_pen_by(dx, dy, ps_pen_draw); }
void PsCanvas::line_width(int width) { ps_line_width(width); }
void PsCanvas::paint(int red, int green, int blue) { ps_paint(red, green, blue); }

void PsCanvas::rectangle(double x, double y, double w, double h, bool filled) {
    ps_rectangle(x, y, w, h, filled ? 1 : 0);
}
void PsCanvas::clip(double x, double y, double w, double h) { ps_clip_rectangle(x, y, w, h); }
void PsCanvas::unclip() { ps_unclip(); }

void PsCanvas::font(int number) { ps_select_font(number); }

void PsCanvas::text(double x, double y, int size, const char* text, double angle, int justify) {
    // pslib may shorten the text it is given; it gets a copy.
    std::string copy = text != nullptr ? text : "";
    ps_put_text(x, y, size, copy.data(), angle, justify, 0);
}

int PsCanvas::open_part() {
    std::FILE* part = open_temporary();
    if (part == nullptr) return -1;
    parts_.push_back(part);
    return static_cast<int>(parts_.size()) - 1;
}

void PsCanvas::draw_into(int part) {
    const bool valid = part >= 0 && part < static_cast<int>(parts_.size());
    ps_redirect(valid ? parts_[part] : nullptr);
}

bool PsCanvas::insert_part(int part) {
    if (part < 0 || part >= static_cast<int>(parts_.size())) return false;
    return ps_insert_part(parts_[part]) == 0;
}

void PsCanvas::close_parts() {
    // Drawing still directed into a part goes back to the document first.
    if (!parts_.empty()) ps_redirect(nullptr);
    for (std::FILE* part : parts_) std::fclose(part);
    parts_.clear();
}
