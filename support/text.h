// Small text helpers for fixed-column input lines.
#pragma once

// Removes leading and trailing blanks (only ' ') in place.
void trim_blanks(char* text);

// Position of the first entry of the null-terminated `list` that occurs
// anywhere inside `text`, or -1.
int find_in_list(const char* text, const char* const* list);
