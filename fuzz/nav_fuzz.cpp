// Parses an arbitrary file as a navigation file and checks what the parser
// gives, then reads it into a fresh database twice (the program tells a
// navigation file by its content) and lists the database.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "fuzz/commands.h"
#include "fuzz/fuzz_support.h"
#include "rinex/nav_format.h"

namespace {

// What every accepted ephemeris must be; a violation stops the fuzzer.
void check(const NavFile& file) {
    if (!file.ok) {
        if (file.error_text.empty() || file.error_line < 0 || file.error_line > file.lines)
            __builtin_trap();
        return;
    }
    for (const NavEphemeris& eph : file.ephemerides) {
        if (std::strchr("GRECJ", eph.system) == nullptr || eph.system == '\0') __builtin_trap();
        if (eph.prn < 1 || eph.prn > 99 || eph.kind[0] == '\0' || eph.kind[4] != '\0')
            __builtin_trap();
        if (!std::isfinite(eph.toc)) __builtin_trap();
        for (double value : eph.values)
            if (!std::isfinite(value)) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_set_up_program();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    check(parse_nav_text(std::string_view(reinterpret_cast<const char*>(data), size)));
    fuzz_begin_input();
    fuzz_write_file("input.o", data, size);
    fuzz_run_program({2, false, false, false, false});
    fuzz_end_input();
    return 0;
}
