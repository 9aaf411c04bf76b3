// Runs the compact RINEX decoder over arbitrary bytes, split into lines as
// the observation file reader splits them. The decoder must end every input
// with success or an error, within its limits on what it holds and emits.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "input/compact_rinex.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    input::CompactRinexDecoder decoder;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    bool ok = true;
    while (ok && !rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        ok = decoder.feed(line);
        // One compact line gives at most the lines of an epoch of 999
        // satellites (twelve to a line) or of a satellite with the most
        // types (five to a line), none longer than a compact line.
        if (decoder.output_lines() > 100) __builtin_trap();
        for (std::size_t i = 0; i < decoder.output_lines(); ++i) {
            if (decoder.output_line(i).size() > input::CompactRinexDecoder::max_line + 64)
                __builtin_trap();
        }
        if (!ok && decoder.error().empty()) __builtin_trap();
    }
    if (ok) ok = decoder.finish();
    if (ok == decoder.failed()) __builtin_trap();
    return 0;
}
