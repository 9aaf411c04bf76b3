// Texts that come from the files the program reads (marker, receiver and
// antenna names, file names) on their way to the file system and the console.
#pragma once

#include <string>
#include <string_view>

// `name` as a plain file name in the current folder: '/', '\' and bytes
// outside printable ASCII (below 32, 127 and above) become '_', and a name
// that starts with '.' (".", "..", a hidden name) gets '_' for that dot; an
// empty name becomes "_". Names of letters, digits, blanks and the other
// printable characters stay as they are.
std::string plain_file_name(std::string_view name);

// `text` as the console may show it: each byte below 32 and 127 becomes a
// visible escape (`\x1b`, `\x09`), so a name cannot move the cursor or send a
// control sequence to the terminal. Other bytes stay as they are.
std::string console_text(std::string_view text);

// The same, except that line ends stay: for whole progress and report texts
// whose own format holds line breaks.
std::string console_lines(std::string_view text);
