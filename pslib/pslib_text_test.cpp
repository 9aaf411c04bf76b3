// Text placement, justification, trimming, escapes and text conversion.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/memory.h"
#include "tests/testkit/pslib_test_util.h"

using pstest::Doc;

namespace {

// Writes `text` at 1.0, 2.0 in 10 points and returns the document lines.
std::string put(Doc& doc, std::string text, int justify, double angle = 0.0, int outline = 0) {
    return doc.written([&] { ps_put_text(1.0, 2.0, 10, text.data(), angle, justify, outline); });
}

std::string convert(const char* text) {
    char* converted = ps_convert_text(text);
    std::string result = converted;
    mem_free(converted);
    return result;
}

}  // namespace

TEST(PsText, PlainTextJustification) {
    Doc doc;
    EXPECT_EQ(put(doc, "abc", 1), "300 600 M 106 F0 (abc) Z\n");
    EXPECT_EQ(ps_state.path_len, 0);
    EXPECT_EQ(ps_state.pen_x, 300);
    EXPECT_EQ(ps_state.pen_y, 600);
    EXPECT_EQ(put(doc, "abc", 0), "300 600 M 106 F0 (abc) Z\n");
    EXPECT_EQ(put(doc, "abc", 6), "300 600 M 0 -39 G 106 F0 (abc) E -2 div 0 G Z\n");
    EXPECT_EQ(put(doc, "abc", 10), "300 600 M 0 -77 G 106 F0 (abc) E -2 div 0 G Z\n");
    EXPECT_EQ(put(doc, "abc", 3), "300 600 M 106 F0 (abc) E -1 div 0 G Z\n");
    EXPECT_EQ(put(doc, "abc", 7), "300 600 M 0 -39 G 106 F0 (abc) E -1 div 0 G Z\n");
    EXPECT_EQ(put(doc, "abc", 9), "300 600 M 0 -77 G 106 F0 (abc) Z\n");
    EXPECT_EQ(put(doc, "abc", 1, 0.0, 1), "300 600 M 106 F0 (abc) true charpath S\n");
    // The cap height follows the selected font: Times and Courier.
    ps_select_font(4);
    EXPECT_EQ(put(doc, "abc", 5), "300 600 M 0 -36 G 106 F4 (abc) Z\n");
    ps_select_font(9);
    EXPECT_EQ(put(doc, "abc", 11), "300 600 M 0 -65 G 106 F9 (abc) E -1 div 0 G Z\n");
}

TEST(PsText, Angle) {
    Doc doc;
    EXPECT_EQ(put(doc, "abc", 1, 90.0), "300 600 M V 90 R 106 F0 (abc) Z U\n");
    EXPECT_EQ(put(doc, "abc", 6, 33.33),
              "300 600 M V 33.3 R 0 -39 G 106 F0 (abc) E -2 div 0 G Z U\n");
    EXPECT_EQ(put(doc, "a@-1", 1, -45.0),
              "300 600 M V -45 R 106 F0 (a) Z\n0 -32 G\n74 F0 (1) Z\nU\n");
}

TEST(PsText, Brackets) {
    Doc doc;
    EXPECT_EQ(put(doc, "a(b)", 1), "300 600 M 106 F0 (a\\(b\\)) Z\n");
    EXPECT_EQ(put(doc, "a\\(b", 1), "300 600 M 106 F0 (a\\(b) Z\n");
    EXPECT_EQ(convert("<[{x}]>"), "\\<\\[\\{x\\}\\]\\>");
    EXPECT_EQ(convert("\\101\\\\"), "\\101\\\\");
}

TEST(PsText, LetterEscapes) {
    EXPECT_EQ(convert("@@@A@E@O@a@e@o"), "\\100\\375\\341\\351\\376\\372\\371");
    EXPECT_EQ(convert("x@~y@%3%z@"), "x@~y@%3%z@");
    EXPECT_EQ(convert("@"), "@");
    EXPECT_EQ(convert(""), "");
    // A bracket after an at sign keeps the PostScript string closed.
    EXPECT_EQ(convert("@(a@)"), "@\\(a@\\)");
    Doc doc;
    EXPECT_EQ(put(doc, "@(a@)", 1), "300 600 M 106 F0 (\\(a) Z\n106 F0 (\\)) Z\n");
    EXPECT_EQ(put(doc, "K@@bh@o", 1), "300 600 M 106 F0 (K\\100bh\\371) Z\n");
}

TEST(PsText, ConversionStaysInItsBlock) {
    const std::string brackets(1500, '(');
    const std::string converted = convert(brackets.c_str());
    EXPECT_EQ(converted.size(), 2046u);
    EXPECT_EQ(converted.substr(converted.size() - 4), "\\(\\(");
    const std::string letters(1500, 'a');
    EXPECT_EQ(convert(letters.c_str()), letters);
    std::string codes;
    for (int i = 0; i < 700; ++i) codes += "@A";
    EXPECT_EQ(convert(codes.c_str()).size(), 2044u);
}

TEST(PsText, SubscriptWithMeasuringPass) {
    Doc doc;
    EXPECT_EQ(put(doc, "x@-2@-y", 2),
              "300 600 M 0 106 F0 (x) stringwidth pop add 74 F0 (2) stringwidth pop add "
              "106 F0 (y) stringwidth pop add -2 div 0 G\n"
              "106 F0 (x) Z\n"
              "0 -32 G\n"
              "74 F0 (2) Z\n"
              "0 32 G\n"
              "106 F0 (y) Z\n");
    EXPECT_EQ(put(doc, "m@+2", 7),
              "300 600 M 0 -39 G 0 106 F0 (m) stringwidth pop add 74 F0 (2) stringwidth pop add "
              "-1 div 0 G\n"
              "106 F0 (m) Z\n"
              "0 32 G\n"
              "74 F0 (2) Z\n");
}

TEST(PsText, FontAndCapitalEscapes) {
    Doc doc;
    EXPECT_EQ(put(doc, "@#abc", 1), "300 600 M 90 F0 (ABC) Z\n");
    EXPECT_EQ(put(doc, "@#x1y@#z", 1), "300 600 M 90 F0 (X1Y) Z\n106 F0 (z) Z\n");
    ps_select_font(4);
    EXPECT_EQ(put(doc, "a@~b@~c", 1), "300 600 M 106 F4 (a) Z\n106 F12 (b) Z\n106 F4 (c) Z\n");
    EXPECT_EQ(put(doc, "a@%9%b@%12%c@%%d@%%e", 1),
              "300 600 M 106 F4 (a) Z\n106 F9 (b) Z\n106 F12 (c) Z\n106 F9 (d) Z\n"
              "106 F9 (e) Z\n");
    ps_select_font(12);
    EXPECT_EQ(put(doc, "@~a@~b", 1), "300 600 M 106 F12 (a) Z\n106 F12 (b) Z\n");
    // The last size set wins, whichever escape set it.
    ps_select_font(0);
    EXPECT_EQ(put(doc, "@-a@#b", 1), "300 600 M 0 -32 G\n74 F0 (a) Z\n90 F0 (B) Z\n");
    // An escape without a meaning drops only the at sign.
    EXPECT_EQ(put(doc, "a@qb", 1), "300 600 M 106 F0 (a) Z\n106 F0 (qb) Z\n");
    EXPECT_EQ(ps_state.font, 0);
}

TEST(PsText, Overstrike) {
    Doc doc;
    EXPECT_EQ(put(doc, "@!/Ox", 1),
              "300 600 M 106 F0 (O) dup stringwidth pop exch Z -2 div dup 0 G\n"
              "106 F0 (/) E -2 div dup 0 G exch Z sub neg dup 0 lt {pop 0} if 0 G\n"
              "106 F0 (x) Z\n");
    // Octal codes count as one character; the measure takes b and the rest.
    EXPECT_EQ(put(doc, "@!@e@o.", 2),
              "300 600 M 0 106 F0 (\\371.) stringwidth pop add -2 div 0 G\n"
              "106 F0 (\\371) dup stringwidth pop exch Z -2 div dup 0 G\n"
              "106 F0 (\\372) E -2 div dup 0 G exch Z sub neg dup 0 lt {pop 0} if 0 G\n"
              "106 F0 (.) Z\n");
    EXPECT_EQ(put(doc, "@!(|", 1),
              "300 600 M 106 F0 (|) dup stringwidth pop exch Z -2 div dup 0 G\n"
              "106 F0 (\\() E -2 div dup 0 G exch Z sub neg dup 0 lt {pop 0} if 0 G\n");
}

TEST(PsText, UnfinishedEscapesStopAtTheirPiece) {
    Doc doc;
    EXPECT_EQ(put(doc, "a@%3", 1), "300 600 M 106 F0 (a) Z\n");
    EXPECT_EQ(put(doc, "a@%3@-b", 1), "300 600 M 106 F0 (a) Z\n0 -32 G\n74 F3 (b) Z\n");
    EXPECT_EQ(put(doc, "a@!", 1), "300 600 M 106 F0 (a) Z\n");
    EXPECT_EQ(put(doc, "a@!x", 1), "300 600 M 106 F0 (a) Z\n106 F0 (x) Z\n");
    EXPECT_EQ(put(doc, "a@!\\3", 1), "300 600 M 106 F0 (a) Z\n106 F0 (\\3) Z\n");
    EXPECT_EQ(put(doc, "a@", 2),
              "300 600 M 0 106 F0 (a) stringwidth pop add -2 div 0 G\n"
              "106 F0 (a) Z\n");
    EXPECT_EQ(put(doc, "@%99999999999999999999%a", 1), "300 600 M 106 F999999 (a) Z\n");
    EXPECT_EQ(put(doc, "@", 1), "300 600 M \n");
    EXPECT_EQ(put(doc, "@-", 1, 90.0), "300 600 M V 90 R 0 -32 G\nU\n");
}

TEST(PsText, OutlinedEscapedTextKeepsItsPoint) {
    Doc doc;
    EXPECT_EQ(put(doc, "a@-1", 1, 0.0, 1),
              "300 600 M 106 F0 (a) true charpath currentpoint S moveto\n"
              "0 -32 G\n"
              "74 F0 (1) true charpath currentpoint S moveto\n");
}

TEST(PsText, NegativeCodeTrimsBlanks) {
    Doc doc;
    char text[] = "  ab  ";
    EXPECT_EQ(doc.written([&] { ps_put_text(1.0, 2.0, 10, text, 0.0, -1, 0); }),
              "300 600 M 106 F0 (ab) Z\n");
    EXPECT_STREQ(text, "  ab");
    EXPECT_EQ(std::memcmp(text, "  ab\0\0", 7), 0);
    char tab[] = "\tab\t ";
    EXPECT_EQ(doc.written([&] { ps_put_text(1.0, 2.0, 10, tab, 0.0, -6, 0); }),
              "300 600 M 0 -39 G 106 F0 (\tab\t) E -2 div 0 G Z\n");
    char blanks[] = "   ";
    EXPECT_EQ(doc.written([&] { ps_put_text(1.0, 2.0, 10, blanks, 0.0, -1, 0); }),
              "300 600 M 106 F0 () Z\n");
    EXPECT_STREQ(blanks, " ");
    char positive[] = " x ";
    EXPECT_EQ(doc.written([&] { ps_put_text(1.0, 2.0, 10, positive, 0.0, 1, 0); }),
              "300 600 M 106 F0 ( x ) Z\n");
    EXPECT_STREQ(positive, " x ");
}

TEST(PsText, LengthLimit) {
    testkit::ScratchDir dir;
    const std::string path = dir.file("t.ps");
    const auto r = testkit::run_in_child([&] {
        pstest::begin(path);
        std::string text(510, 'x');
        ps_put_text(1.0, 2.0, 10, text.data(), 0.0, 1, 0);
        text += 'y';
        ps_put_text(1.0, 2.0, 10, text.data(), 0.0, -1, 0);
        ps_end_document(0);
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "pslib: text_item > 512 long!\n");
    const std::string text = testkit::read_file(path);
    EXPECT_EQ(text.substr(text.find("%%EndSetup\n") + 11),
              "300 600 M 106 F0 (" + std::string(510, 'x') + ") Z\nS\n");
}
