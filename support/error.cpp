#include "support/error.h"

#include <cstdarg>
#include <cstdlib>
#include <string>

#include "support/messages.h"
#include "support/untrusted_text.h"

std::FILE* report_stream = nullptr;
unsigned char quiet = 0;
std::int32_t error_line = 0;

namespace {

exit_hook pending_hook = nullptr;

// Standard output is buffered and standard error is not: what the program
// wrote to standard output before a report or a progress text goes out first,
// so the two keep their order when both go to one pipe or file.
std::FILE* reports() {
    std::fflush(stdout);
    return report_stream ? report_stream : stderr;
}

[[noreturn]] void end_program(int status) {
    if (exit_hook hook = pending_hook) {
        pending_hook = nullptr;
        hook();
    }
    std::exit(status);
}

// The text as the console may show it: names read from files cannot send
// control bytes to the terminal.
std::string formatted(const char* format, std::va_list args) {
    std::va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, args);
    return console_lines(text);
}

}  // namespace

void error_set_exit_hook(exit_hook hook) { pending_hook = hook; }

void message_line(const char* line) {
    const std::string text = console_lines(line);
    std::fprintf(reports(), "%s\n", text.c_str());
    if (reports() != stderr && !quiet) std::fputs(text.c_str(), stderr);
}

void error_exit(int number, ...) {
    const char* text = number >= 0 && number < message_count ? message_texts[number] : "?";
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "E%04d: ", number);

    std::va_list args;
    va_start(args, number);
    const std::string report = formatted(text, args);
    va_end(args);
    std::fputs(prefix, reports());
    std::fputs(report.c_str(), reports());
    if (reports() != stderr && !quiet) std::fprintf(stderr, "\n%s%s", prefix, report.c_str());

    if (number != 0 && error_line >= 0) {
        char line_part[32];
        std::snprintf(line_part, sizeof line_part, " in Zeile %4ld ",
                      static_cast<long>(error_line));
        message_line(line_part);
    }
    message_line(".  ");
    end_program(number);
}

void fatal(const char* format, ...) {
    std::fputs("\nError", reports());
    if (error_line >= 0)
        std::fprintf(reports(), " in Zeile %-4ld: ", static_cast<long>(error_line));
    else
        std::fputs(": ", reports());

    char text[84];
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::fputs(console_lines(text).c_str(), reports());
    end_program(1);
}

void message(const char* format, ...) {
    if (quiet) return;
    std::fflush(stdout);
    std::va_list args;
    va_start(args, format);
    std::fputs(formatted(format, args).c_str(), stderr);
    va_end(args);
}
