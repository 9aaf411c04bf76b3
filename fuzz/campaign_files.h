// The files of a campaign database, and the journal an interrupted run may
// leave beside them, packed into one fuzzing input: entries of
// one byte naming the file (its position in campaign_files, modulo their
// count), a 16-bit little-endian length and that many bytes. A length past
// the end of the input takes the rest; a later entry for the same file
// replaces the earlier one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr const char* campaign_files[] = {
    "zzSTA.DAT",    "zzSTA.ID0", "zzCOR.DAT", "zzREC.DAT", "zzREC.ID0", "zzANT.DAT",
    "zzANT.ID0",    "zzOCC.DAT", "zzOCC.ID0", "zzSAT.DAT", "zzSAT.ID0", "zzSATOCC.DAT",
    "zzSATOCC.ID0", "zzOBS.DAT", "zzOBS.ID0", "zzGN.DAT",  "zzGN.ID0",  "lumerak.journal",
};
inline constexpr std::size_t campaign_file_count = std::size(campaign_files);

// Appends one entry for file number `file` holding `bytes` (at most 65535).
inline void pack_campaign_file(std::string& packed, std::size_t file, const std::string& bytes) {
    packed += static_cast<char>(file);
    packed += static_cast<char>(bytes.size() & 0xff);
    packed += static_cast<char>((bytes.size() >> 8) & 0xff);
    packed += bytes;
}
