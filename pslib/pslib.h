// PostScript output library: writes one PostScript document at a time, built
// on a prologue of one- and two-letter procedures. Callers work in a measure
// unit (centimetre, inch or metre); the library converts lengths to integer
// PostScript units by multiplying with `units` and rounding halves away from
// zero.
//
// Calling order: ps_begin_document, any number of drawing and text calls,
// ps_end_document. A document of several pages is opened with ps_begin_pages
// instead, and each page is drawn between ps_begin_page and ps_end_page.
// Misuse (bad font number, negative line width, colour out of
// range, text too long, output that cannot be opened) is reported on standard
// error with a "pslib: " message and the call is ignored.
#pragma once

#include <cstdio>

// Library version written into the title line of documents without
// document information.
inline constexpr double ps_version = 2.3;

// Number of entries of the font table (font numbers 0 to 33).
inline constexpr int ps_font_count = 34;

// Longest path ps_pen_to lets grow before it strokes and restarts it.
inline constexpr int ps_path_limit = 1500;

// Texts of this many characters or more are refused by ps_put_text.
inline constexpr int ps_text_limit = 511;

// Size of the block ps_convert_text returns (zero-filled, from mem_calloc).
inline constexpr int ps_text_buffer = 2048;

// Bits of the `mode` argument of ps_begin_document.
inline constexpr int ps_mode_portrait = 1;  // clear: landscape
inline constexpr int ps_mode_european = 2;  // re-encode the fonts for European letters

// Measure units of ps_begin_document.
inline constexpr int ps_unit_cm = 0;
inline constexpr int ps_unit_inch = 1;
inline constexpr int ps_unit_m = 2;

// Pen codes of ps_pen_to and ps_pen_by; any code other than 2 and -2 moves.
inline constexpr int ps_pen_draw = 2;          // draw a line
inline constexpr int ps_pen_draw_stroke = -2;  // draw a line, then stroke the path
inline constexpr int ps_pen_move = 3;          // ps_pen_to: stroke and move; ps_pen_by: move

// State of the document being written; one record for the whole process.
struct PsState {
    std::FILE* out;    // the document being written; null when none is open
    int font;          // current font number, 0 to 33
    int landscape;     // 1 when the set-up wrote the landscape rotation
    int pen_x, pen_y;  // last pen position in PostScript units
    int path_len;      // elements of the current path since its last move
    double x_scale, y_scale;
    double x_origin, y_origin;  // origin shift in measure units
    double units;               // PostScript units per measure unit
    double page_width;          // paper width in measure units
    double points_per_unit;     // points (1/72 inch) per measure unit
    int path_limit;             // ps_path_limit
    std::FILE* document;        // the document's own output; `out` differs while redirected
    int pages;                  // pages of a document of several pages; 0 for one page
    int page;                   // number of the page being drawn, 0 between pages
    int background[3];          // paper colour, red, green, blue
};

extern PsState ps_state;

// Optional document information for the header of a new document.
struct PsDocInfo {
    int x0, x1, y0, y1;                // bounding box in points
    const char* fonts[ps_font_count];  // fonts needed; ends at the first null or empty entry
    const char* creator;
    const char* title;
};

// One entry of the font table: PostScript font name and cap height as a
// fraction of the font size (used to place text by its middle or top).
struct PsFont {
    const char* name;
    double cap_height;
};

// Fonts 0 to 33; 0 Helvetica, 4 Times-Roman, 8 Courier, 12 Symbol.
extern const PsFont ps_fonts[ps_font_count];

// Opens a document. `file_name` null or empty writes to standard output.
// `overlay` non-zero appends to an existing document file without header,
// prologue or set-up. `mode`: ps_mode_portrait and ps_mode_european bits.
// `units` PostScript units per measure unit; `measure_unit` ps_unit_cm,
// ps_unit_inch or ps_unit_m (any other value ends the program with status -1
// for a new document). `background` red, green, blue 0 to 255. `info` may be
// null. Returns 0 when the document is open, -1 when the output cannot be
// opened.
int ps_begin_document(const char* file_name, int overlay, int mode, double x_origin,
                      double y_origin, double x_scale, double y_scale, int copies, int units,
                      int measure_unit, double page_width, const int (&background)[3],
                      const PsDocInfo* info);

// Ends the document: with `last_page` non-zero writes the trailer and shows
// the page, otherwise only strokes the path so that another document can be
// appended with `overlay` set. A document of several pages ends its open page
// and writes its trailer, whatever `last_page` says. Closes the output unless
// it is standard output. Returns 0, or -1 when the document could not be
// written completely.
int ps_end_document(int last_page);

// Opens a new document of `pages` pages with the arguments of
// ps_begin_document (there is no overlay). It carries the page count in its
// header and no EPSF line, since an encapsulated file holds one page; its
// set-up holds no drawing state, which every page sets up for itself. Returns
// 0, or -1 when the output cannot be opened.
int ps_begin_pages(const char* file_name, int pages, int mode, double x_origin, double y_origin,
                   double x_scale, double y_scale, int copies, int units, int measure_unit,
                   double page_width, const int (&background)[3], const PsDocInfo* info);

// Starts page `number` (1 to the page count) of a document of several pages:
// its page comment and the coordinate system, paint and paper colour of the
// document. An open page is ended first.
void ps_begin_page(int number);

// Ends the page being drawn and shows it.
void ps_end_page();

// Sends the following drawing calls to `part`, a stream of the caller, or
// back to the document when `part` is null; returns the stream drawn into
// before. The drawing collected in a part goes into the document with
// ps_insert_part. Every element drawn into a part must begin with a move or a
// style change, as the pen calls require after any switch.
std::FILE* ps_redirect(std::FILE* part);

// Copies everything written into `part` so far into the current output and
// leaves `part` positioned at its end. Returns 0, or -1 when the part has
// failed a write or cannot be read back.
int ps_insert_part(std::FILE* part);

// Pen to the point (x, y) in measure units: code 2 draws, -2 draws and
// strokes, any other code strokes the pending path and moves.
void ps_pen_to(double x, double y, int pen);

// Pen by the displacement (dx, dy) in measure units: code 2 draws, -2 draws
// and strokes, any other code moves without stroking.
void ps_pen_by(double dx, double dy, int pen);

// Font for the following texts, 0 to 33.
void ps_select_font(int font);

// Line width in PostScript units, 0 or more.
void ps_line_width(int width);

// Paint colour, each component 0 to 255; equal components give a grey.
void ps_paint(int red, int green, int blue);

// Writes `text` at (x, y) in measure units, `size` in points, turned by
// `angle` degrees counter-clockwise. `justify`: |j| mod 4 gives the
// horizontal anchor (0/1 left, 2 middle, 3 right), |j| div 4 the vertical one
// (0 baseline, 1 middle, 2 top of the capitals); a negative code also trims
// blanks, cutting the trailing ones off the caller's text. `outline` non-zero
// strokes the glyph outlines instead of filling them. Texts of 511 characters
// or more are refused.
void ps_put_text(double x, double y, int size, char* text, double angle, int justify, int outline);

// Prepares `text` for a PostScript string: letter escapes become octal codes,
// parentheses and brackets get a backslash. Returns a zero-filled block of
// ps_text_buffer bytes from mem_calloc that the caller releases with mem_free.
char* ps_convert_text(const char* text);

// Rectangle with its lower left corner at (x, y) in measure units, w wide and
// h high: filled with the paint (`filled` non-zero) or its outline stroked.
// Ends the pending path.
void ps_rectangle(double x, double y, double w, double h, int filled);

// Saves the graphics state and cuts the following drawing to the rectangle;
// ps_unclip gives back the state saved (paint, line width, clip). Both end
// the pending path.
void ps_clip_rectangle(double x, double y, double w, double h);
void ps_unclip();
