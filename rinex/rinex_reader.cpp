#include "rinex/rinex_reader.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "rinex/read_state.h"
#include "rinex/rinex3_format.h"
#include "support/checked_file.h"
#include "support/error.h"
#include "support/untrusted_text.h"

namespace {

// The observation file as RINEX lines, whatever its wrapping (plain, gzip,
// Unix compress, compact RINEX). It outlives every read: an error report
// ends a read without returning, and what the source holds (the file, a
// decompressing thread) must stay reachable for read_rinex_release.
input::ObservationSource source;

// A damaged compressed or compact stream, a cut file or a failed read ends
// the read: what the file still holds is unknown, so it must not pass for
// the end of the file.
[[noreturn]] void source_failed(ReadState& st) {
    // The source's text begins with the path as given, in quotes, perhaps
    // more than once; the name in front of it suffices.
    std::string_view reason = st.source.error();
    const std::string_view path = st.file_name;
    while (reason.size() >= path.size() + 2 && reason[0] == '\'' &&
           reason.substr(1, path.size()) == path && reason[path.size() + 1] == '\'') {
        reason.remove_prefix(path.size() + 2);
        if (!reason.empty() && reason[0] == ':') reason.remove_prefix(1);
        while (!reason.empty() && reason[0] == ' ') reason.remove_prefix(1);
    }
    refuse_file(st, reason);
}

// The name without its folder (the whole path when it ends in a slash, so
// that a report still names something; such a path is no file to read).
const char* base_name_of(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash && slash[1] != '\0' ? slash + 1 : path;
}

// Opens the file and reads its first line, which decides the reader: RINEX
// 2 or RINEX 3 and 4 (each also in compact RINEX). Anything else is refused
// here, before any table is opened.
rinex_format open_and_classify(ReadState& st) {
    // The reason comes first: reports are cut after 83 characters.
    const std::size_t name_room = sizeof st.writer.tables().occ.rinex_file;
    if (std::strlen(st.base_name) >= name_room)
        fatal("File name longer than %zu characters: '%s'\n", name_room - 1,
              console_text(st.base_name).c_str());
    // A file that cannot be opened is reported as for every file the
    // program opens.
    std::FILE* probe = checked_open(st.file_name, "rb");
    std::fclose(probe);
    // The path's copy is gone before an error report, which would leave a
    // temporary behind.
    const bool opened = st.source.open(st.file_name);
    if (!opened) source_failed(st);
    if (!read_line(st)) refuse_file(st, "the file is empty");

    const rinex_first_line first = rinex_classify_first_line(st.line);
    if (first.format == rinex_format::refused) refuse_file(st, first.reason);
    // Compact RINEX 1.0 carries RINEX 2, compact 3.0 RINEX 3 or 4.
    const int compact = st.source.compact_format();
    if ((compact == 1 && first.format != rinex_format::rinex2_obs) ||
        (compact == 3 && first.format != rinex_format::rinex3_obs)) {
        char reason[100];
        std::snprintf(reason, sizeof reason, "compact RINEX %d.0 holding RINEX version %.2f",
                      compact, first.version);
        refuse_file(st, reason);
    }
    if (first.format != rinex_format::rinex2_obs && first.format != rinex_format::rinex3_obs &&
        first.format != rinex_format::navigation)
        refuse_file(st, "the first line is not a RINEX VERSION / TYPE line");
    return first.format;
}

}  // namespace

ReadState::ReadState(Campaign& tables, input::ObservationSource& source, const char* file_name,
                     bool no_obs_data)
    : writer(tables, no_obs_data),
      source(source),
      file_name(file_name),
      base_name(base_name_of(file_name)) {}

bool read_line(ReadState& st) {
    std::string_view text;
    if (!st.source.next(text)) {
        if (st.source.failed()) source_failed(st);
        return false;
    }
    // A line longer than the buffer keeps its first characters; the rest is
    // dropped. The line ends at a NUL byte as a C string would.
    std::size_t length =
        text.size() < ReadState::line_size - 1 ? text.size() : ReadState::line_size - 1;
    std::memcpy(st.text, text.data(), length);
    if (length > 0 && st.text[length - 1] == '\r') --length;
    st.text[length] = '\0';
    if (const void* nul = std::memchr(st.text, '\0', length))
        length = static_cast<std::size_t>(static_cast<const char*>(nul) - st.text);
    st.line = std::string_view(st.text, length);
    ++st.line_count;
    return true;
}

void show_progress(ReadState& st) {
    if (st.line_count % 100 != 0) return;
    std::fputc('.', stdout);
    // The dots are shown as they come, but put out at most every 50 ms: a
    // day of 1-second data makes 9,500 of them, and a write for each costs
    // a terminal tens of milliseconds.
    timespec clock{};
    clock_gettime(CLOCK_MONOTONIC, &clock);
    const long now = static_cast<long>(clock.tv_sec) * 1000 + clock.tv_nsec / 1000000;
    if (st.dots_shown >= 0 && now - st.dots_shown < 50) return;
    std::fflush(stdout);
    st.dots_shown = now;
}

void announce_version(const ReadState& st) {
    char version[ReadState::line_size] = "";
    char type[ReadState::line_size] = "";
    std::sscanf(st.text, "%254s %254s", version, type);
    message("RINEX-file (Version %s, Type %s) found.\n", version, type);
}

double epoch_time(ReadState& st, int year, int month, int day, int hour, int minute,
                  double seconds) {
    const int fields[5] = {year, month, day, hour, minute};
    if (!st.minute_valid || std::memcmp(fields, st.minute_fields, sizeof fields) != 0) {
        std::memcpy(st.minute_fields, fields, sizeof fields);
        st.minute_time = time_value(year, month, day, hour, minute, 0);
        st.minute_valid = true;
    }
    if (st.minute_time == -1) return -1;
    return st.minute_time + seconds;
}

// Nothing on the heap is held on the way out (an error ends the program,
// and a test harness that catches it must not see a leak).
void refuse_file(ReadState& st, std::string_view reason) {
    st.source.close();
    fatal("'%s': %.*s\n", console_text(st.base_name).c_str(), static_cast<int>(reason.size()),
          reason.data());
}

void reject_headerless(ReadState& st) {
    st.writer.close_unlinked();
    st.source.close();
    fatal("'%.60s': no END OF HEADER line\n", console_text(st.base_name).c_str());
}

void read_rinex(const char* file_name, bool no_obs_data) {
    Campaign tables;
    ReadState st(tables, source, file_name, no_obs_data);
    const rinex_format format = open_and_classify(st);
    if (format == rinex_format::navigation) {
        read_navigation(st);
        st.source.close();
        return;
    }

    st.writer.open_header_tables();
    if (format == rinex_format::rinex3_obs)
        read_rinex3(st);
    else
        read_rinex2(st);

    std::printf("\n%8ld Zeilen gelesen.\n", st.line_count);
    st.writer.finish();
    st.source.close();
}

void read_rinex_release() { source.close(); }
