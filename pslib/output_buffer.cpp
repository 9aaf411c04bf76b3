// Output buffer of the PostScript library and its number formatting.
#include "pslib/output_buffer.h"

#include <charconv>
#include <climits>

namespace pslib_detail {

OutputBuffer& OutputBuffer::put(const char* text, std::size_t length) {
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

OutputBuffer& OutputBuffer::num(long long value) {
    char tmp[24];
    auto r = std::to_chars(tmp, tmp + sizeof tmp, value);
    return put(tmp, static_cast<std::size_t>(r.ptr - tmp));
}

OutputBuffer& OutputBuffer::real(double value, int precision) {
    char tmp[64];
    auto r = std::to_chars(tmp, tmp + sizeof tmp, value, std::chars_format::general, precision);
    return put(tmp, static_cast<std::size_t>(r.ptr - tmp));
}

void OutputBuffer::flush() {
    if (len_ > 0) std::fwrite(buf_, 1, len_, out_);
    len_ = 0;
}

int ps_round(double v) {
    v = v >= 0 ? v + 0.5 : v - 0.5;
    if (v >= 2147483647.0) return INT_MAX;
    if (v <= -2147483648.0) return INT_MIN;
    if (v != v) return 0;
    return static_cast<int>(v);
}

int clamp_int(long long v) {
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
}

void put_colour(OutputBuffer& line, int red, int green, int blue) {
    if (red == green && red == blue) {
        line.real(red * (1.0 / 255), 3).put(" A");
    } else {
        line.real(red * (1.0 / 255), 3).put(' ');
        line.real(green * (1.0 / 255), 3).put(' ');
        line.real(blue * (1.0 / 255), 3).put(" C");
    }
}

}  // namespace pslib_detail
