// Running the plot command inside a benchmark: its console output sent away,
// and how far the process's resident memory rose during it.
#pragma once

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "plot/plot_command.h"

namespace bench {

// Value of a "Vm...:" line of /proc/self/status in kB.
inline long status_kb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(field);
    while (std::getline(status, line))
        if (line.compare(0, length, field) == 0) return std::atol(line.c_str() + length + 1);
    return -1;
}

// Plots the campaign of the current folder with its console output (progress
// dots, file names) sent away; returns by how many kB the resident memory
// rose above what the process held before, at its peak. `format` is the
// pages' format.
inline long plot_quietly(DrawFormat format = DrawFormat::ps) {
    std::fflush(stdout);
    std::fflush(stderr);
    malloc_trim(0);  // freed heap goes back, so that any reuse of it counts
    std::ofstream("/proc/self/clear_refs") << "5";  // resets the high-water mark
    const long before = status_kb("VmRSS:");
    const int out = dup(1), err = dup(2);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    plot_occupations("zzOBS", true, true, -1, -1, "", default_sn_line_types, false, format);
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(out, 1);
    dup2(err, 2);
    close(null);
    close(out);
    close(err);
    return status_kb("VmHWM:") - before;
}

}  // namespace bench
