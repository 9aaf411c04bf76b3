// PostScript output library: document frame, drawing and text.
#include "pslib/pslib.h"

#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "support/myalloc.h"

PsState ps_state = {};

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

constexpr int symbol_font = 12;

// Collects the text of one call and hands it to the stream in large pieces.
// Numbers are formatted without the locale, so a decimal comma can never
// reach the document.
class Line {
public:
    explicit Line(std::FILE* out) : out_(out) {}
    ~Line() { flush(); }
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    Line& put(const char* text, std::size_t length)
    {
        while (length > 0) {
            if (len_ == sizeof buf_) flush();
            std::size_t n = sizeof buf_ - len_;
            if (n > length) n = length;
            std::memcpy(buf_ + len_, text, n);
            len_ += n;
            text += n;
            length -= n;
        }
        return *this;
    }
    Line& put(const char* text) { return put(text, std::strlen(text)); }
    Line& put(char c) { return put(&c, 1); }

    // Same digits as printf "%d" / "%lld".
    Line& num(long long value)
    {
        char tmp[24];
        auto r = std::to_chars(tmp, tmp + sizeof tmp, value);
        return put(tmp, static_cast<std::size_t>(r.ptr - tmp));
    }

    // Same text as printf "%.<precision>lg" in the C locale.
    Line& real(double value, int precision)
    {
        char tmp[64];
        auto r = std::to_chars(tmp, tmp + sizeof tmp, value, std::chars_format::general,
                               precision);
        return put(tmp, static_cast<std::size_t>(r.ptr - tmp));
    }

    void flush()
    {
        if (len_ > 0) std::fwrite(buf_, 1, len_, out_);
        len_ = 0;
    }

private:
    std::FILE* out_;
    char buf_[512];
    std::size_t len_ = 0;
};

// Rounds to the nearest integer, halves away from zero. Values beyond the
// int range are held at its ends so that no coordinate can overflow.
int ps_round(double v)
{
    v = v >= 0 ? v + 0.5 : v - 0.5;
    if (v >= 2147483647.0) return INT_MAX;
    if (v <= -2147483648.0) return INT_MIN;
    if (v != v) return 0;
    return static_cast<int>(v);
}

int clamp_int(long long v)
{
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
}

// Appends a paint operator: a grey "%.3lg A" when all three components are
// equal, else "%.3lg %.3lg %.3lg C".
void put_colour(Line& line, int red, int green, int blue)
{
    if (red == green && red == blue) {
        line.real(red * (1.0 / 255), 3).put(" A");
    } else {
        line.real(red * (1.0 / 255), 3).put(' ');
        line.real(green * (1.0 / 255), 3).put(' ');
        line.real(blue * (1.0 / 255), 3).put(" C");
    }
}

// "Www Mmm dd hh:mm:ss yyyy" in English whatever the locale.
void put_date(Line& line, std::time_t now)
{
    static const char* const weekdays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm t = {};
    if (localtime_r(&now, &t) == nullptr) std::memset(&t, 0, sizeof t);
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %04d",
                  weekdays[(t.tm_wday % 7 + 7) % 7], months[(t.tm_mon % 12 + 12) % 12],
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, t.tm_year + 1900);
    line.put(text);
}

void write_header(Line& line, int portrait, const PsDocInfo* info, std::time_t now)
{
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
    {'E', "V T dup 0 exch M 0.726542528 mul -72 R dup 0 D 4 {72 R dup 0 D -144 R dup 0 D} "
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
void ps_reencode_font(Line& line, const char* name)
{
    line.put('/').put(name).put(" /").put(name).put(" eurovec ReEncodeSmall\n");
}

// Re-encodes the fonts the document needs, or all fonts of the table.
void ps_european_fonts(Line& line, const PsDocInfo* info)
{
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

void write_prologue(Line& line, int european, int copies, const PsDocInfo* info)
{
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

void write_setup(Line& line, int measure_unit)
{
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
    if (st.landscape) line.num(ps_round(st.page_width * st.points_per_unit)).put(" 0 T 90 R\n");
    line.real(st.x_scale * st.points_per_unit / st.units, 6).put(' ');
    line.real(st.y_scale * st.points_per_unit / st.units, 6).put(" scale\n");
}

}  // namespace

int ps_begin_document(const char* file_name, int overlay, int mode, double x_origin,
                      double y_origin, double x_scale, double y_scale, int copies, int units,
                      int measure_unit, double page_width, const int (&background)[3],
                      const PsDocInfo* info)
{
    PsState& st = ps_state;
    st.path_limit = ps_path_limit;
    st.page_width = page_width;
    st.font = 0;
    st.units = units;
    st.points_per_unit = 72.0;
    if (measure_unit == ps_unit_cm) st.points_per_unit *= 1.0 / 2.54;
    if (measure_unit == ps_unit_m) st.points_per_unit *= 100.0 / 2.54;

    const int portrait = mode & ps_mode_portrait;
    const int european = mode & ps_mode_european;

    st.out = stdout;
    if (file_name != nullptr && file_name[0] != '\0') {
        st.out = std::fopen(file_name, overlay ? "at" : "wt");
        if (st.out == nullptr) {
            std::fprintf(stderr, "pslib: Cannot create/open file : %s\n", file_name);
            return -1;
        }
    }
    const std::time_t now = std::time(nullptr);

    {
        Line line(st.out);
        line.put("%!PS-Adobe-3.0 EPSF-3.0\n");
        st.landscape = overlay == 0 && !portrait ? 1 : 0;
        st.x_scale = x_scale;
        st.y_scale = y_scale;
        st.x_origin = x_origin;
        st.y_origin = y_origin;
        if (overlay == 0) {
            write_header(line, portrait, info, now);
            write_prologue(line, european, copies, info);
            write_setup(line, measure_unit);
        }
        if (x_origin != 0 || y_origin != 0) {
            line.num(ps_round(x_origin * st.units)).put(' ');
            line.num(ps_round(y_origin * st.units)).put(" T\n");
        }
    }
    ps_paint(0, 0, 0);
    {
        Line line(st.out);
        line.put("% End of pslib header\n");
        if (overlay == 0) {
            line.put("%%EndSetup\n");
            const int r = background[0], g = background[1], b = background[2];
            if (r != 255 || g != 255 || b != 255) {
                line.put("clippath ");
                put_colour(line, r, g, b);
                line.put(" F N\n");
            }
        }
    }
    st.path_len = 0;
    return 0;
}

int ps_end_document(int last_page)
{
    PsState& st = ps_state;
    if (st.out == nullptr) return 0;
    {
        Line line(st.out);
        if (last_page) {
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
    if (st.out != stdout)
        written = std::fclose(st.out) == 0 && written;
    else
        written = std::fflush(st.out) == 0 && written;
    st.out = nullptr;
    return written ? 0 : -1;
}

void ps_pen_to(double x, double y, int pen)
{
    PsState& st = ps_state;
    if (st.out == nullptr) return;
    const int ix = ps_round(x * st.units);
    const int iy = ps_round(y * st.units);
    Line line(st.out);
    if (pen == ps_pen_draw || pen == ps_pen_draw_stroke) {
        const long long dx = static_cast<long long>(ix) - st.pen_x;
        const long long dy = static_cast<long long>(iy) - st.pen_y;
        if (dx == 0 && dy == 0) return;
        line.num(dx).put(' ').num(dy).put(" D\n");
        ++st.path_len;
    } else {
        line.num(ix).put(' ').num(iy).put(" M\n");
        st.path_len = 1;
    }
    if (pen == ps_pen_draw_stroke) line.put("S\n");
    st.pen_x = ix;
    st.pen_y = iy;
    if (st.path_len > st.path_limit) {
        // Stroke the long path and go on with a new one from the same point.
        line.put("S ").num(ix).put(' ').num(iy).put(" M\n");
        st.path_len = 1;
    }
}

void ps_pen_by(double dx, double dy, int pen)
{
    PsState& st = ps_state;
    if (st.out == nullptr) return;
    const int idx = ps_round(dx * st.units);
    const int idy = ps_round(dy * st.units);
    if (idx == 0 && idy == 0) return;
    Line line(st.out);
    if (st.path_len < INT_MAX) ++st.path_len;
    line.num(idx).put(' ').num(idy);
    if (pen == ps_pen_draw || pen == ps_pen_draw_stroke) {
        line.put(" D\n");
    } else {
        line.put(" G\n");
        st.path_len = 1;
    }
    if (pen == ps_pen_draw_stroke) line.put("S\n");
    st.pen_x = clamp_int(static_cast<long long>(st.pen_x) + idx);
    st.pen_y = clamp_int(static_cast<long long>(st.pen_y) + idy);
}

void ps_select_font(int font)
{
    if (font < 0 || font >= ps_font_count) {
        std::fprintf(stderr, "pslib: Selected font out of range (%d), ignored\n", font);
        return;
    }
    ps_state.font = font;
}

void ps_line_width(int width)
{
    if (width < 0) {
        std::fprintf(stderr, "pslib: Selected linewidth is negative (%d), ignored\n", width);
        return;
    }
    if (ps_state.out == nullptr) return;
    Line(ps_state.out).put("S ").num(width).put(" W\n");
}

void ps_paint(int red, int green, int blue)
{
    if (red < 0 || red > 255 || green < 0 || green > 255 || blue < 0 || blue > 255) {
        std::fprintf(stderr, "pslib: Selected color is out of range (%d/%d/%d), ignored\n", red,
                     green, blue);
        return;
    }
    if (ps_state.out == nullptr) return;
    Line line(ps_state.out);
    line.put("S ");
    put_colour(line, red, green, blue);
    line.put('\n');
}

namespace {

// The characters that must not stand bare in a PostScript string.
bool needs_backslash(char c)
{
    return c != '\0' && std::strchr("()<>[]{}", c) != nullptr;
}

// Octal code of a letter escape, or null when `c` is none of them.
const char* letter_code(char c)
{
    switch (c) {
    case '@': return "\\100";
    case 'A': return "\\375";
    case 'E': return "\\341";
    case 'O': return "\\351";
    case 'a': return "\\376";
    case 'e': return "\\372";
    case 'o': return "\\371";
    default: return nullptr;
    }
}

}  // namespace

char* ps_convert_text(const char* text)
{
    char* out = static_cast<char*>(mem_calloc(ps_text_buffer, 1));
    if (text == nullptr) return out;
    // Room for the text; the last byte of the block stays the string end.
    const std::size_t room = ps_text_buffer - 1;
    std::size_t n = 0;
    auto fits = [&](std::size_t k) { return n + k <= room; };
    const char* p = text;
    while (*p != '\0') {
        if (*p == '@') {
            const char c = p[1];
            if (const char* code = letter_code(c)) {
                if (!fits(4)) break;
                std::memcpy(out + n, code, 4);
                n += 4;
            } else if (c == '\0') {
                if (fits(1)) out[n++] = '@';
                break;
            } else if (needs_backslash(c)) {
                // The escape character stays for ps_put_text; a bracket
                // there still needs its backslash or the string breaks.
                if (!fits(3)) break;
                out[n++] = '@';
                out[n++] = '\\';
                out[n++] = c;
            } else {
                if (!fits(2)) break;
                out[n++] = '@';
                out[n++] = c;
            }
            p += 2;
            continue;
        }
        if (needs_backslash(*p) && !(n > 0 && out[n - 1] == '\\')) {
            if (!fits(2)) break;
            out[n++] = '\\';
        } else if (!fits(1)) {
            break;
        }
        out[n++] = *p++;
    }
    return out;
}

namespace {

// Font, size and toggles while the pieces of an escaped text are written.
struct TextStyle {
    int font;
    int saved_font;
    double size;  // measure units
    bool sub, sup, caps;
};

// Length of one character of an overstrike pair within [p, end): a backslash
// with octal digits is one code, a backslash before another character one
// escaped character.
std::size_t char_length(const char* p, const char* end)
{
    if (p >= end) return 0;
    if (*p != '\\' || p + 1 >= end) return 1;
    if (p[1] < '0' || p[1] > '7') return 2;
    std::size_t n = 2;
    while (n < 4 && p + n < end && p[n] >= '0' && p[n] <= '7') ++n;
    return n;
}

// Decimal font number of a "@%n%" escape; stops at the end of the piece and
// keeps very long numbers below a million.
int font_number(const char* p, const char* end)
{
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    long value = 0;
    while (p < end && *p >= '0' && *p <= '9') {
        if (value < 100000) value = value * 10 + (*p - '0');
        ++p;
    }
    return static_cast<int>(negative ? -value : value);
}

// Writes "<size> F<font> (" text ")" for one piece.
void put_piece(Line& line, const TextStyle& style, const char* text, std::size_t length,
               bool upper)
{
    line.num(ps_round(style.size * ps_state.units)).put(" F").num(style.font).put(" (");
    if (upper) {
        for (std::size_t i = 0; i < length; ++i) {
            const char c = text[i];
            line.put(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
        }
    } else {
        line.put(text, length);
    }
    line.put(')');
}

// Walks the pieces of an escaped text. The measuring pass adds up the widths
// of all pieces on the operand stack; the drawing pass shows them, with the
// moves of sub- and superscripts and the overstrike pairs.
// Returns whether it ended a line.
bool put_pieces(Line& line, const char* text, double s, bool measuring, const char* tail)
{
    bool line_ended = false;
    const double units = ps_state.units;
    TextStyle style = {ps_state.font, ps_state.font, s, false, false, false};
    const char* p = text;
    bool escaped = *p == '@';
    while (*p != '\0') {
        while (*p == '@') ++p;
        if (*p == '\0') break;
        const char* end = p + std::strcspn(p, "@");
        const char* piece = p;
        bool upper = false;
        if (escaped) {
            switch (*p) {
            case '!': {
                const char* a = p + 1;
                const char* b = a + char_length(a, end);
                const char* rest = b + char_length(b, end);
                if (b == end) {
                    // Only one character: it is shown as it is.
                    piece = a;
                } else if (measuring) {
                    piece = b;
                } else {
                    put_piece(line, style, b, static_cast<std::size_t>(rest - b), false);
                    line.put(" dup stringwidth pop exch ").put(tail).put(" -2 div dup 0 G\n");
                    put_piece(line, style, a, static_cast<std::size_t>(b - a), false);
                    line.put(" E -2 div dup 0 G exch ").put(tail);
                    line.put(" sub neg dup 0 lt {pop 0} if 0 G\n");
                    line_ended = true;
                    piece = rest;
                }
                break;
            }
            case '~':
                style.font = style.font == symbol_font ? ps_state.font : symbol_font;
                piece = p + 1;
                break;
            case '%':
                if (p + 1 < end && p[1] == '%') {
                    style.font = style.saved_font;
                    piece = p + 2;
                } else {
                    style.saved_font = style.font;
                    style.font = font_number(p + 1, end);
                    const void* close = std::memchr(p + 1, '%', static_cast<std::size_t>(end - p - 1));
                    piece = close ? static_cast<const char*>(close) + 1 : end;
                }
                break;
            case '-':
            case '+': {
                // Sub- and superscript: smaller, and shifted down or up.
                bool& on = *p == '-' ? style.sub : style.sup;
                on = !on;
                style.size = on ? 0.7 * s : s;
                if (!measuring) {
                    const double shift = (*p == '-') == on ? -0.3 : 0.3;
                    line.put("0 ").num(ps_round(shift * s * units)).put(" G\n");
                    line_ended = true;
                }
                piece = p + 1;
                break;
            }
            case '#':
                style.caps = !style.caps;
                style.size = style.caps ? 0.85 * s : s;
                upper = style.caps;
                piece = p + 1;
                break;
            default:
                break;
            }
        }
        if (piece < end) {
            put_piece(line, style, piece, static_cast<std::size_t>(end - piece), upper);
            if (measuring)
                line.put(" stringwidth pop add ");
            else
                line.put(' ').put(tail).put('\n');
            line_ended = !measuring;
        }
        p = end;
        escaped = true;
    }
    return line_ended;
}

}  // namespace

void ps_put_text(double x, double y, int size, char* text, double angle, int justify,
                 int outline)
{
    PsState& st = ps_state;
    if (text == nullptr) return;
    const std::size_t length = std::strlen(text);
    if (length >= static_cast<std::size_t>(ps_text_limit)) {
        std::fputs("pslib: text_item > 512 long!\n", stderr);
        return;
    }
    if (st.out == nullptr) return;
    const char* start = text;
    if (justify < 0) {
        std::size_t n = length;
        while (n > 1 && text[n - 1] == ' ') text[--n] = '\0';
        while (*start == ' ') ++start;
    }
    char* converted = ps_convert_text(start);
    const unsigned j = justify < 0 ? 0u - static_cast<unsigned>(justify)
                                   : static_cast<unsigned>(justify);
    const int horizontal = static_cast<int>(j % 4);
    const double s = size / st.points_per_unit;
    const int font = st.font >= 0 && st.font < ps_font_count ? st.font : 0;
    st.font = font;

    st.path_len = 0;
    st.pen_x = ps_round(x * st.units);
    st.pen_y = ps_round(y * st.units);
    Line line(st.out);
    line.num(st.pen_x).put(' ').num(st.pen_y).put(" M ");
    if (angle != 0) line.put("V ").real(angle, 3).put(" R ");
    const double v = -0.5 * s * ps_fonts[font].cap_height * static_cast<double>(j / 4);
    if (v != 0) line.put("0 ").num(ps_round(v * st.units)).put(" G ");
    const char* tail = outline ? "true charpath S" : "Z";
    if (std::strchr(converted, '@') == nullptr) {
        line.num(ps_round(s * st.units)).put(" F").num(font).put(" (").put(converted).put(") ");
        if (horizontal >= 2) line.put("E ").num(horizontal - 4).put(" div 0 G ");
        line.put(tail).put(angle != 0 ? " U\n" : "\n");
    } else {
        if (horizontal >= 2) {
            line.put("0 ");
            put_pieces(line, converted, s, true, tail);
            line.num(horizontal - 4).put(" div 0 G\n");
        }
        // An outline stroke ends the current point, which the next piece needs.
        const char* piece_tail = outline ? "true charpath currentpoint S moveto" : tail;
        const bool line_ended = put_pieces(line, converted, s, false, piece_tail);
        if (angle != 0)
            line.put("U\n");
        else if (!line_ended)
            line.put('\n');
    }
    line.flush();
    mem_free(converted);
}
