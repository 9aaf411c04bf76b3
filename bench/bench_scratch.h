// A scratch folder below /tmp for benchmarks that fill a campaign database:
// enter_scratch() creates it and makes it the current folder (the database
// lives there), run_benchmarks() runs the registered benchmarks and removes
// the folder afterwards.
#pragma once

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace bench {

inline std::string scratch;

inline void enter_scratch(const char* prefix) {
    std::string name = std::string("/tmp/") + prefix + "_XXXXXX";
    if (!mkdtemp(name.data()) || chdir(name.c_str()) != 0) std::abort();
    scratch = name;
}

inline bool entered() { return !scratch.empty(); }

inline int run_benchmarks(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (entered()) {
        std::error_code ec;
        std::filesystem::current_path("/tmp", ec);
        std::filesystem::remove_all(scratch, ec);
        if (ec) return 1;
    }
    return 0;
}

}  // namespace bench
