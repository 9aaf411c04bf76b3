// Names from file content as file names and as console text.
#include "support/untrusted_text.h"

#include <gtest/gtest.h>

#include <string>

TEST(PlainFileName, KeepsOrdinaryNamesAndMakesTheRestPlain) {
    const struct {
        std::string name;
        const char* plain;
    } cases[] = {
        {"KOSG-1.ps", "KOSG-1.ps"},
        {"0759 M001+#x_y-2.ps", "0759 M001+#x_y-2.ps"},
        {"..", "_."},
        {".", "_"},
        {"", "_"},
        {"A\tB-1.ps", "A_B-1.ps"},
        {"A\x7f\x80\xff", "A___"},
        {"Zu\xc3\xbcrich", "Zu__rich"},
        {"a.b.ps", "a.b.ps"},
    };
    for (const auto& c : cases) EXPECT_EQ(plain_file_name(c.name), c.plain) << c.name;
}

TEST(ConsoleText, ShowsControlBytesAsEscapes) {
    const struct {
        std::string text;
        const char* shown;
        const char* lines;  // console_lines: line ends kept
    } cases[] = {
        {"KOSG", "KOSG", "KOSG"},
        {"A\x1b[2JB", "A\\x1b[2JB", "A\\x1b[2JB"},
        {"A\tB", "A\\x09B", "A\\x09B"},
        {"A\nB\r", "A\\x0aB\\x0d", "A\nB\\x0d"},
        {std::string("A\0B", 3), "A\\x00B", "A\\x00B"},
        {"\x7f\x1f \x80", "\\x7f\\x1f \x80", "\\x7f\\x1f \x80"},
        {"a\\b", "a\\b", "a\\b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(console_text(c.text), c.shown) << c.text;
        EXPECT_EQ(console_lines(c.text), c.lines) << c.text;
    }
}
