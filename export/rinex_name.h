// Station identifier, day of year and session of an observation file, taken
// from its name for the GEONAP observation and station files.
#pragma once

struct rinex_name_parts {
    char station[5];  // up to four characters, terminated
    char day[4];      // three characters of day of year, terminated
    char session;     // session character
};

// From a file name as stored for the occupation:
// - a long name SSSSMRCCC_S_YYYYDDDHHMM_PPU_... (any suffix after it, such as
//   ".rnx", ".crx.gz" or ".rnx.Z"): station = the first four characters,
//   day = DDD, session = '0' for a period of one day (01D), otherwise the
//   letter 'a' to 'x' of the hour HH;
// - any other name, such as "ssssdddf.yyt" with or without a compression
//   suffix: station = characters 1-4 (fewer when the name is shorter), day =
//   characters 5-7 and session = character 8, blanks past the end of the
//   name.
// The name is taken as it stands: a folder in front of it shifts the
// positions of a short name and keeps a long name from being recognised.
rinex_name_parts rinex_name_split(const char* name);

// True when `name` begins with a long RINEX 3 file name as above.
bool rinex_name_is_long(const char* name);
