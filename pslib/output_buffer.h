// Output buffer of the PostScript library and the number formatting every
// part of the library shares. Internal to pslib/: callers use pslib.h.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>

namespace pslib_detail {

// Collects the text of one call and hands it to the stream in large pieces.
// Numbers are formatted without the locale, so a decimal comma can never
// reach the document.
class OutputBuffer {
public:
    explicit OutputBuffer(std::FILE* out) : out_(out) {}
    ~OutputBuffer() { flush(); }
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    OutputBuffer& put(const char* text, std::size_t length);
    OutputBuffer& put(const char* text) { return put(text, std::strlen(text)); }
    OutputBuffer& put(char c) { return put(&c, 1); }

    // Same digits as printf "%d" / "%lld".
    OutputBuffer& num(long long value);

    // Same text as printf "%.<precision>lg" in the C locale.
    OutputBuffer& real(double value, int precision);

    // Hands the collected text to the stream.
    void flush();

private:
    std::FILE* out_;
    char buf_[512];
    std::size_t len_ = 0;
};

// Rounds to the nearest integer, halves away from zero. Values beyond the
// int range are held at its ends so that no coordinate can overflow.
int ps_round(double v);

// Holds a sum of coordinates within the int range.
int clamp_int(long long v);

// Appends a paint operator: a grey "%.3lg A" when all three components are
// equal, else "%.3lg %.3lg %.3lg C".
void put_colour(OutputBuffer& line, int red, int green, int blue);

}  // namespace pslib_detail
