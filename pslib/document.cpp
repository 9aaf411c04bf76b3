// Document frame of the PostScript library: opening the output, the header,
// the prologue of short procedures, the set-up of the coordinate system and
// the trailer; the library state and the font table.
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "db/output_file.h"
#include "pslib/output_buffer.h"
#include "pslib/pslib.h"

using pslib_detail::OutputBuffer;
using pslib_detail::ps_round;
using pslib_detail::put_colour;

PsState ps_state = {};

namespace {
// The open document adds to a file (an overlay) instead of replacing it.
bool overlaid = false;
}  // namespace

const PsFont ps_fonts[ps_font_count] = {
    {"Helvetica", 0.732},
    {"Helvetica-Bold", 0.732},
    {"Helvetica-Oblique", 0.732},
    {"Helvetica-BoldOblique", 0.732},
    {"Times-Roman", 0.678},
    {"Times-Bold", 0.678},
    {"Times-Italic", 0.678},
    {"Times-BoldItalic", 0.678},
    {"Courier", 0.612},
    {"Courier-Bold", 0.612},
    {"Courier-Oblique", 0.612},
    {"Courier-BoldOblique", 0.612},
    {"Symbol", 0.676},
    {"AvantGarde-Book", 0.7},
    {"AvantGarde-BookOblique", 0.7},
    {"AvantGarde-Demi", 0.7},
    {"AvantGarde-DemiOblique", 0.7},
    {"Bookman-Demi", 0.7},
    {"Bookman-DemiItalic", 0.7},
    {"Bookman-Light", 0.7},
    {"Bookman-LightItalic", 0.7},
    {"Helvetica-Narrow", 0.7},
    {"Helvetica-Narrow-Bold", 0.7},
    {"Helvetica-Narrow-Oblique", 0.7},
    {"Helvetica-Narrow-BoldOblique", 0.7},
    {"NewCenturySchlbk-Roman", 0.7},
    {"NewCenturySchlbk-Italic", 0.7},
    {"NewCenturySchlbk-Bold", 0.7},
    {"NewCenturySchlbk-BoldItalic", 0.7},
    {"Palatino-Roman", 0.7},
    {"Palatino-Italic", 0.7},
    {"Palatino-Bold", 0.7},
    {"Palatino-BoldItalic", 0.7},
    {"ZapfChancery-MediumItalic", 0.7},
};

namespace {

// "Www Mmm dd hh:mm:ss yyyy" in English whatever the locale.
void put_date(OutputBuffer& line, std::time_t now) {
    static const char* const weekdays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm t = {};
    if (localtime_r(&now, &t) == nullptr) std::memset(&t, 0, sizeof t);
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %04d",
                  weekdays[(t.tm_wday % 7 + 7) % 7], months[(t.tm_mon % 12 + 12) % 12], t.tm_mday,
                  t.tm_hour, t.tm_min, t.tm_sec, t.tm_year + 1900);
    line.put(text);
}

// The header comments; `pages` is 0 for a one-page document, whose header
// names no page count.
void write_header(OutputBuffer& line, int portrait, const PsDocInfo* info, std::time_t now,
                  int pages) {
    if (info != nullptr) {
        line.put("%%BoundingBox: ").num(info->x0).put(' ').num(info->y0).put(' ');
        if (portrait)
            line.num(info->x1).put(' ').num(info->y1);
        else
            line.num(info->y1).put(' ').num(info->x1);
        line.put("\n%%Title: ").put(info->title ? info->title : "");
        line.put("\n%%Creator: ").put(info->creator ? info->creator : "");
        line.put("\n%%DocumentNeededResources: font");
        for (int i = 0; i < ps_font_count && info->fonts[i] && info->fonts[i][0]; ++i)
            line.put(' ').put(info->fonts[i]);
        line.put('\n');
    } else {
        line.put("%%BoundingBox: 0 0 612 792\n%%Title: pslib v");
        line.real(ps_version, 6).put(" document\n%%Creator: ???\n");
    }
    line.put("%%CreationDate: ");
    put_date(line, now);
    line.put("\n%%Orientation: Portrait\n");
    if (pages > 0) line.put("%%Pages: ").num(pages).put('\n');
    line.put("%%EndComments\n\n");
    line.put("%%BeginProlog\n\n");
    line.put("% Begin pslib header\n\n");
}

const char* const abbreviations =
    "/A /setgray load def\n"
    "/B /setdash load def\n"
    "/C /setrgbcolor load def\n"
    "/D /rlineto load def\n"
    "/E {dup stringwidth pop} bind def\n"
    "/F /fill load def\n"
    "/G /rmoveto load def\n"
    "/L /lineto load def\n"
    "/M {stroke moveto} bind def\n"
    "/m {moveto} bind def\n"
    "/N /newpath load def\n"
    "/O {M {D} repeat P V C F U S} def\n"
    "/o {M {D} repeat P V A F U S} def\n"
    "/P /closepath load def\n"
    "/Q {M {D} repeat P V C F U N} def\n"
    "/q {M {D} repeat P V A F U N} def\n"
    "/t {M {D} repeat P S} def\n"
    "/R /rotate load def\n"
    "/S /stroke load def\n"
    "/T /translate load def\n"
    "/U /grestore load def\n"
    "/V /gsave load def\n"
    "/W /setlinewidth load def\n"
    "/X {M dup 0 D dup -0.5 mul dup G 0 exch D S} bind def\n"
    "/Y {findfont exch scalefont setfont} bind def\n"
    "/Z /show load def\n";

// Symbol procedures: ten shapes, each filled or outlined, grey or colour.
struct SymbolFamily {
    char letter;
    const char* body;
};

const SymbolFamily symbol_families[10] = {
    {'A', "0 exch M 0 D D D D D 0 D"},
    {'C', "0 360 arc"},
    {'D', "M 5 {dup} repeat D neg exch D neg exch neg D"},
    {'R', "M dup 0 D exch 0 exch D neg 0 D"},
    {'S', "M dup dup 0 D 0 exch D neg 0 D"},
    {'T', "M dup 0 D dup -0.5 mul exch 0.866025 mul D"},
    {'I', "M dup 0 D dup -0.5 mul exch -0.866025 mul D"},
    {'E',
     "V T dup 0 exch M 0.726542528 mul -72 R dup 0 D 4 {72 R dup 0 D -144 R dup 0 D} "
     "repeat pop"},
    {'H', "V T dup dup 0.5 mul exch 0.866025404 mul M 5 {-60 R dup 0 D} repeat pop"},
    {'P', "arc"},
};

const char* const symbol_tails[5] = {"V A F U N", "V A F U S", "V C F U N", "V C F U S", "S"};

const char* const path_closers =
    "/a {P V A F U N} def\n"
    "/b {P V A F U S} def\n"
    "/c {P V C F U N} def\n"
    "/d {P V C F U S} def\n"
    "/p {P S} def\n";

const char* const reencode_procedure =
    "% Reencode standard font map to European font map\n"
    "%\n"
    "/reencsmalldict 12 dict def\n"
    "/ReEncodeSmall\n"
    "{ reencsmalldict begin\n"
    "        /newcodesandnames exch def\n"
    "        /newfontname exch def\n"
    "        /basefontname exch def\n"
    "        /basefontdict basefontname findfont def\n"
    "        /newfont basefontdict maxlength dict def\n"
    "        basefontdict\n"
    "        { exch dup /FID ne \n"
    "            { dup /Encoding eq\n"
    "                { exch dup length array copy\n"
    "                    newfont 3 1 roll put }\n"
    "                { exch newfont 3 1 roll put }\n"
    "                ifelse\n"
    "                }\n"
    "                { pop pop }\n"
    "                ifelse\n"
    "        } forall\n"
    "        newfont /FontName newfontname put\n"
    "        newcodesandnames aload pop\n"
    "        newcodesandnames length 2 idiv\n"
    "        { newfont /Encoding get 3 1 roll put }\n"
    "        repeat\n"
    "        newfontname newfont definefont pop\n"
    "        end\n"
    "} def\n"
    "\n"
    "/eurovec[\n"
    "8#260 /Aacute\n"
    "8#265 /Acircumflex\n"
    "8#276 /Adieresis\n"
    "8#300 /Agrave\n"
    "8#311 /Eacute\n"
    "8#314 /Ecircumflex\n"
    "8#321 /Edieresis\n"
    "8#322 /Egrave\n"
    "8#323 /Iacute\n"
    "8#324 /Icircumflex\n"
    "8#325 /Idieresis\n"
    "8#326 /Igrave\n"
    "8#327 /Oacute\n"
    "8#330 /Ocircumflex\n"
    "8#331 /Odieresis\n"
    "8#332 /Ograve\n"
    "8#333 /Uacute\n"
    "8#334 /Ucircumflex\n"
    "8#335 /Udieresis\n"
    "8#336 /Ugrave\n"
    "8#337 /aacute\n"
    "8#340 /acircumflex\n"
    "8#342 /adieresis\n"
    "8#344 /agrave\n"
    "8#345 /eacute\n"
    "8#346 /ecircumflex\n"
    "8#347 /edieresis\n"
    "8#350 /egrave\n"
    "8#354 /iacute\n"
    "8#355 /icircumflex\n"
    "8#356 /idieresis\n"
    "8#357 /igrave\n"
    "8#360 /oacute\n"
    "8#362 /ocircumflex\n"
    "8#363 /odieresis\n"
    "8#364 /ograve\n"
    "8#366 /uacute\n"
    "8#367 /ucircumflex\n"
    "8#370 /udieresis\n"
    "8#374 /ugrave\n"
    "8#375 /Aring\n"
    "8#376 /aring\n"
    "] def\n";

// Replaces one font by its copy with the European encoding, under the same name.
void ps_reencode_font(OutputBuffer& line, const char* name) {
    line.put('/').put(name).put(" /").put(name).put(" eurovec ReEncodeSmall\n");
}

// Re-encodes the fonts the document needs, or all fonts of the table.
void ps_european_fonts(OutputBuffer& line, const PsDocInfo* info) {
    line.put("% START OF EUROPEAN FONT DEFINITION\n");
    line.put(reencode_procedure);
    if (info != nullptr) {
        for (int i = 0; i < ps_font_count && info->fonts[i] && info->fonts[i][0]; ++i)
            ps_reencode_font(line, info->fonts[i]);
    } else {
        for (const PsFont& f : ps_fonts) ps_reencode_font(line, f.name);
    }
    line.put("% END OF EUROPEAN FONT DEFINITION\n");
}

void write_prologue(OutputBuffer& line, int european, int copies, const PsDocInfo* info) {
    line.put("250 dict begin\n\n");
    line.put(abbreviations);
    for (const SymbolFamily& family : symbol_families) {
        for (int v = 0; v < 5; ++v) {
            line.put('/').put(family.letter).put(static_cast<char>('0' + v)).put(" {");
            line.put(family.body).put(' ');
            if (family.letter != 'C') line.put("P ");
            line.put(symbol_tails[v]);
            if (family.letter == 'E' || family.letter == 'H') line.put(" U");
            line.put("} bind def\n");
        }
    }
    line.put(path_closers);
    for (int i = 0; i < ps_font_count; ++i)
        line.put("/F").num(i).put(" {/").put(ps_fonts[i].name).put(" Y} bind def\n");
    if (european) ps_european_fonts(line, info);
    line.put("/#copies ").num(copies).put(" def\n\n");
    line.put("%%EndProlog\n\n");
}

// The set-up's comments on the measure unit; an invalid unit ends the program.
void write_setup_comments(OutputBuffer& line, int measure_unit) {
    const PsState& st = ps_state;
    line.put("%%BeginSetup\n\n");
    line.put("% Init coordinate system and scales\n");
    line.put("% Scale is originally set to ").real(st.points_per_unit / st.units, 6);
    line.put(", which means that\n");
    static const char* const unit_names[3] = {"cm", "inch", "m"};
    if (measure_unit < 0 || measure_unit > 2) {
        line.flush();
        std::fflush(st.out);
        std::fputs("pslib: Measure unit not valid!\n", stderr);
        std::exit(-1);
    }
    line.put("% 1 ").put(unit_names[measure_unit]).put(" on the paper equals ");
    line.num(static_cast<long long>(st.units)).put(" Postscript units\n");
}

// The coordinate system: the landscape rotation and the scale to PostScript
// units.
void write_coordinates(OutputBuffer& line) {
    const PsState& st = ps_state;
    if (st.landscape) line.num(ps_round(st.page_width * st.points_per_unit)).put(" 0 T 90 R\n");
    line.real(st.x_scale * st.points_per_unit / st.units, 6).put(' ');
    line.real(st.y_scale * st.points_per_unit / st.units, 6).put(" scale\n");
}

// The shift to the drawing's origin, when it is not the paper's corner.
void write_origin(OutputBuffer& line) {
    const PsState& st = ps_state;
    if (st.x_origin != 0 || st.y_origin != 0) {
        line.num(ps_round(st.x_origin * st.units)).put(' ');
        line.num(ps_round(st.y_origin * st.units)).put(" T\n");
    }
}

// Paints the whole page in the background colour unless it is white.
void paint_background(OutputBuffer& line) {
    const int r = ps_state.background[0], g = ps_state.background[1], b = ps_state.background[2];
    if (r != 255 || g != 255 || b != 255) {
        line.put("clippath ");
        put_colour(line, r, g, b);
        line.put(" F N\n");
    }
}

// The state every new document starts from, and its output opened. False
// (with the message) when the output cannot be opened.
bool open_output(const char* file_name, int overlay, double x_origin, double y_origin,
                 double x_scale, double y_scale, int units, int measure_unit, double page_width,
                 const int (&background)[3]) {
    PsState& st = ps_state;
    st.path_limit = ps_path_limit;
    st.page_width = page_width;
    st.font = 0;
    st.units = units;
    st.points_per_unit = 72.0;
    if (measure_unit == ps_unit_cm) st.points_per_unit *= 1.0 / 2.54;
    if (measure_unit == ps_unit_m) st.points_per_unit *= 100.0 / 2.54;
    st.x_scale = x_scale;
    st.y_scale = y_scale;
    st.x_origin = x_origin;
    st.y_origin = y_origin;
    for (int i = 0; i < 3; ++i) st.background[i] = background[i];
    st.pages = 0;
    st.page = 0;

    st.out = stdout;
    if (file_name != nullptr && file_name[0] != '\0') {
        // A new document replaces the file only once complete; an overlay adds
        // to the file as it is.
        st.out = overlay ? std::fopen(file_name, "at") : output_open(file_name);
        overlaid = overlay != 0;
        if (st.out == nullptr) {
            std::fprintf(stderr, "pslib: Cannot create/open file : %s\n", file_name);
            st.document = nullptr;
            return false;
        }
    }
    st.document = st.out;
    return true;
}

}  // namespace

int ps_begin_document(const char* file_name, int overlay, int mode, double x_origin,
                      double y_origin, double x_scale, double y_scale, int copies, int units,
                      int measure_unit, double page_width, const int (&background)[3],
                      const PsDocInfo* info) {
    PsState& st = ps_state;
    const int portrait = mode & ps_mode_portrait;
    const int european = mode & ps_mode_european;
    if (!open_output(file_name, overlay, x_origin, y_origin, x_scale, y_scale, units, measure_unit,
                     page_width, background))
        return -1;
    const std::time_t now = std::time(nullptr);

    {
        OutputBuffer line(st.out);
        line.put("%!PS-Adobe-3.0 EPSF-3.0\n");
        st.landscape = overlay == 0 && !portrait ? 1 : 0;
        if (overlay == 0) {
            write_header(line, portrait, info, now, 0);
            write_prologue(line, european, copies, info);
            write_setup_comments(line, measure_unit);
            write_coordinates(line);
        }
        write_origin(line);
    }
    ps_paint(0, 0, 0);
    {
        OutputBuffer line(st.out);
        line.put("% End of pslib header\n");
        if (overlay == 0) {
            line.put("%%EndSetup\n");
            paint_background(line);
        }
    }
    st.path_len = 0;
    return 0;
}

int ps_begin_pages(const char* file_name, int pages, int mode, double x_origin, double y_origin,
                   double x_scale, double y_scale, int copies, int units, int measure_unit,
                   double page_width, const int (&background)[3], const PsDocInfo* info) {
    PsState& st = ps_state;
    const int portrait = mode & ps_mode_portrait;
    if (!open_output(file_name, 0, x_origin, y_origin, x_scale, y_scale, units, measure_unit,
                     page_width, background))
        return -1;
    st.pages = pages;
    st.landscape = portrait ? 0 : 1;
    OutputBuffer line(st.out);
    line.put("%!PS-Adobe-3.0\n");
    write_header(line, portrait, info, std::time(nullptr), pages);
    write_prologue(line, mode & ps_mode_european, copies, info);
    write_setup_comments(line, measure_unit);
    line.put("%%EndSetup\n");
    st.path_len = 0;
    return 0;
}

void ps_begin_page(int number) {
    PsState& st = ps_state;
    if (st.document == nullptr || st.pages == 0) return;
    if (st.page != 0) ps_end_page();
    st.out = st.document;
    st.page = number;
    {
        OutputBuffer line(st.out);
        line.put("%%Page: ").num(number).put(' ').num(number).put('\n');
        line.put("%%BeginPageSetup\n");
        write_coordinates(line);
        write_origin(line);
    }
    ps_paint(0, 0, 0);
    OutputBuffer line(st.out);
    line.put("%%EndPageSetup\n");
    paint_background(line);
    st.path_len = 0;
}

void ps_end_page() {
    PsState& st = ps_state;
    if (st.document == nullptr || st.page == 0) return;
    st.out = st.document;
    OutputBuffer(st.out).put("S showpage\n");
    st.page = 0;
}

std::FILE* ps_redirect(std::FILE* part) {
    PsState& st = ps_state;
    std::FILE* before = st.out;
    st.out = part != nullptr ? part : st.document;
    return before;
}

int ps_insert_part(std::FILE* part) {
    PsState& st = ps_state;
    if (st.out == nullptr || part == nullptr) return -1;
    if (std::fflush(part) != 0 || std::ferror(part) || std::fseek(part, 0, SEEK_SET) != 0)
        return -1;
    char buffer[1 << 14];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, part)) > 0) std::fwrite(buffer, 1, n, st.out);
    const bool read_all = !std::ferror(part);
    std::fseek(part, 0, SEEK_END);
    return read_all ? 0 : -1;
}

int ps_end_document(int last_page) {
    PsState& st = ps_state;
    if (st.document == nullptr) return 0;
    st.out = st.document;
    {
        OutputBuffer line(st.out);
        if (st.pages > 0) {
            // Every page has shown itself; only the dictionary is closed.
            if (st.page != 0) line.put("S showpage\n");
            line.put("%%Trailer\nend\n%%EOF\n");
        } else if (last_page) {
            line.put("%%Trailer\n");
            line.put("% Reset translations and scale and call showpage\n");
            line.put("S ").num(-static_cast<long long>(ps_round(st.x_origin * st.units)));
            line.put(' ').num(-static_cast<long long>(ps_round(st.y_origin * st.units)));
            line.put(" T ").real(st.units / (st.points_per_unit * st.x_scale), 6);
            line.put(' ').real(st.units / (st.points_per_unit * st.y_scale), 6).put(" scale");
            if (st.landscape) {
                line.put(" -90 R ");
                line.num(-static_cast<long long>(ps_round(st.page_width * st.points_per_unit)));
                line.put(" 0 T");
            }
            line.put(" showpage\n\nend\n");
        } else {
            line.put("S\n");
        }
    }
    bool written = !std::ferror(st.out);
    if (st.out == stdout)
        written = std::fflush(st.out) == 0 && written;
    else if (overlaid)
        written = std::fclose(st.out) == 0 && written;
    else if (written)
        written = output_commit(st.out);
    else
        output_abandon(st.out);
    st.out = nullptr;
    st.document = nullptr;
    st.pages = 0;
    st.page = 0;
    return written ? 0 : -1;
}
