// The drawing interface of the pages. A page module draws only through a
// Canvas and never learns which back end is behind it: the PostScript writer
// (draw/ps_canvas.h) or cairo with its PDF, SVG and PNG surfaces
// (draw/cairo_canvas.h). make_canvas (draw/canvas_factory.h) gives the back
// end of an output format.
//
// Usage (what a page module does; the caller opens and ends the document):
//
//   void draw_my_page(Canvas& c) {            // between begin_page and end_page
//       c.paint(0, 0, 0);                     // black; equal components: a grey
//       c.line_width(12);                     // in drawing units (1/300 cm)
//       c.move_to(2.0, 1.0);                  // every line starts with move_to
//       c.line_by(26.0, 0.0);                 // centimetres, y upwards
//       c.line_to(28.0, 19.0);
//       c.rectangle(3.0, 2.0, 1.0, 0.5, true);   // filled with the paint
//       c.font(0);                            // 0 Helvetica, 4 Times, 8 Courier
//       c.text(1.2, 5.0, 8, "G01", 0.0, text_middle + text_right);
//       c.clip(2.0, 1.0, 26.0, 18.0);         // what follows is cut to the box
//       ...
//       c.unclip();                           // paint and line width return to
//   }                                         // what they were before clip
//
//   std::unique_ptr<Canvas> c = make_canvas(format);
//   PageSetup setup;                           // landscape A4, scale 1
//   setup.title = "Station 4711";
//   if (!c->begin_document("name.ps", setup, pages)) return;   // message given
//   for (int k = 1; k <= pages; ++k) { c->begin_page(k); draw_my_page(*c); c->end_page(); }
//   if (!c->end_document()) ...write failure...
//
// Coordinates are centimetres of the drawing, origin lower left, x to the
// right and y upwards, rounded to drawing units (1/300 cm) as the PostScript
// writer has always done. The drawing is laid out for a landscape A4 page;
// PageSetup scales and shifts it (a portrait page scales it down).
//
// Every line starts with move_to: paint, line_width, text, rectangle, clip and
// unclip end the line being drawn (it is stroked with the style it was begun
// with) and leave no current point. A line width of 0 is the thinnest visible
// line of the output device in every back end.
#pragma once

#include <string>

// Horizontal and vertical anchors of a text; a code is one of each, added:
// text_left (or 0), text_centre or text_right, plus text_baseline (0),
// text_middle or text_top (the middle or the top of the capitals).
inline constexpr int text_left = 1;
inline constexpr int text_centre = 2;
inline constexpr int text_right = 3;
inline constexpr int text_baseline = 0;
inline constexpr int text_middle = 4;
inline constexpr int text_top = 8;

// Where a document's drawing goes on the A4 paper.
struct PageSetup {
    bool landscape = true;   // the drawing's x axis along the paper's long side
    double scale = 1.0;      // drawing scale, the same in x and y
    double x_origin = 0.0;   // shift of the drawing's origin, centimetres of
    double y_origin = 0.0;   //   the drawing
    const char* title = "";  // document title (PDF information), may be empty
};

class Canvas {
public:
    virtual ~Canvas() = default;

    // --- The document and its pages -------------------------------------
    // Opens the document `path` of `pages` pages (1 or more). False, with a
    // message on standard error, when the output cannot be opened. Back ends
    // that write one file per page (SVG, PNG) name page k of several
    // "<path without extension>-<k>.<extension>" (page_file_name).
    virtual bool begin_document(const char* path, const PageSetup& setup, int pages) = 0;
    // Starts page `number` (1 to the page count), white, black paint.
    virtual void begin_page(int number) = 0;
    virtual void end_page() = 0;
    // Ends and closes the document; false when it could not be written
    // completely.
    virtual bool end_document() = 0;

    // --- Lines ------------------------------------------------------------
    // Pen moves and lines, absolute (to) or relative (by), in centimetres.
    // move_to ends the line being drawn; move_by goes on with it.
    virtual void move_to(double x, double y) = 0;
    virtual void line_to(double x, double y) = 0;
    virtual void move_by(double dx, double dy) = 0;
    virtual void line_by(double dx, double dy) = 0;
    // Line width in drawing units (1/300 cm at scale 1), 0 or more.
    virtual void line_width(int width) = 0;
    // Paint of lines, texts and filled rectangles: red, green, blue 0 to 255.
    virtual void paint(int red, int green, int blue) = 0;

    // --- Shapes and clipping ----------------------------------------------
    // Rectangle with its lower left corner at (x, y), w wide and h high:
    // filled with the paint, or its outline stroked with paint and width.
    virtual void rectangle(double x, double y, double w, double h, bool filled) = 0;
    // Cuts all that follows to the rectangle until unclip; clips nest.
    virtual void clip(double x, double y, double w, double h) = 0;
    virtual void unclip() = 0;

    // --- Text ---------------------------------------------------------------
    // Font of the following texts: 0 Helvetica, 1 Helvetica-Bold, 2 and 3 its
    // oblique forms, 4 Times-Roman, 5 to 7 Times bold and italic, 8 Courier,
    // 9 to 11 Courier bold and oblique, 12 Symbol (the pslib font table).
    virtual void font(int number) = 0;
    // Writes `text` (at most 510 characters) at (x, y), `size` in points,
    // turned `angle` degrees counter-clockwise about (x, y), anchored there
    // by `justify` (text_left ... text_top, added).
    virtual void text(double x, double y, int size, const char* text, double angle,
                      int justify) = 0;

    // --- Parts: drawing set aside for pages drawn later ---------------------
    // Most pages need none. A page that draws several pages in one pass over
    // its data draws each page's share into a part and inserts the parts
    // into their pages afterwards. A part's drawing starts with move_to, a
    // paint or a line width after each switch.
    // Opens an empty part; its number, or -1 when none can be made.
    virtual int open_part() = 0;
    // The following drawing goes into part `part`, or onto the page for -1.
    virtual void draw_into(int part) = 0;
    // Draws everything drawn into `part` so far onto the page being drawn;
    // a part can be inserted into several pages. False when it was lost.
    virtual bool insert_part(int part) = 0;
    // Releases all parts.
    virtual void close_parts() = 0;
};

// "<path>" for a document of one page; "<stem>-<k><extension>" for page k of
// several, where the extension is the part of the path's last name from its
// last dot ("a/X-1.svg", 3 pages, page 2: "a/X-1-2.svg").
std::string page_file_name(const char* path, int pages, int k);
