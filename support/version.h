// The program's name, version and credits, as the banner, the plot footer and
// the GEONAP file headers print them. The version number is written here
// only: the build takes the package and manual page version from this line.
#pragma once

#define LUMERAK_VERSION "2.0.2"

inline constexpr const char program_name[] = "Lumerakon";
inline constexpr const char version_text[] = LUMERAK_VERSION ", 11.9.2000";
inline constexpr const char credits_text[] = "(c) Lumerakon developers";
inline constexpr const char build_tool_text[] = "[C++20, GNU/CMake]";
