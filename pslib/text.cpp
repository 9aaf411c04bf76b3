// Text placement: justification, rotation and the escape sequences.
#include <cstdio>
#include <cstring>

#include "pslib/output_buffer.h"
#include "pslib/pslib.h"
#include "support/memory.h"

using pslib_detail::OutputBuffer;
using pslib_detail::ps_round;

namespace {

// Font that the "@~" escape switches to.
constexpr int symbol_font = 12;

// The characters that must not stand bare in a PostScript string.
bool needs_backslash(char c) { return c != '\0' && std::strchr("()<>[]{}", c) != nullptr; }

// Octal code of a letter escape, or null when `c` is none of them.
const char* letter_code(char c) {
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

char* ps_convert_text(const char* text) {
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
std::size_t char_length(const char* p, const char* end) {
    if (p >= end) return 0;
    if (*p != '\\' || p + 1 >= end) return 1;
    if (p[1] < '0' || p[1] > '7') return 2;
    std::size_t n = 2;
    while (n < 4 && p + n < end && p[n] >= '0' && p[n] <= '7') ++n;
    return n;
}

// Decimal font number of a "@%n%" escape; stops at the end of the piece and
// keeps very long numbers below a million.
int font_number(const char* p, const char* end) {
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
void put_piece(OutputBuffer& line, const TextStyle& style, const char* text, std::size_t length,
               bool upper) {
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
bool put_pieces(OutputBuffer& line, const char* text, double s, bool measuring, const char* tail) {
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
                    const void* close =
                        std::memchr(p + 1, '%', static_cast<std::size_t>(end - p - 1));
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
            default: break;
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

void ps_put_text(double x, double y, int size, char* text, double angle, int justify, int outline) {
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
    const unsigned j =
        justify < 0 ? 0u - static_cast<unsigned>(justify) : static_cast<unsigned>(justify);
    const int horizontal = static_cast<int>(j % 4);
    const double s = size / st.points_per_unit;
    const int font = st.font >= 0 && st.font < ps_font_count ? st.font : 0;
    st.font = font;

    st.path_len = 0;
    st.pen_x = ps_round(x * st.units);
    st.pen_y = ps_round(y * st.units);
    OutputBuffer line(st.out);
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
