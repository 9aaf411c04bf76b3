// The listing's sections of the navigation and signal tables, after the
// observation tables' sections; a table the campaign does not hold has no
// section, so the listing of a campaign without them stays as it was.
#pragma once

#include <cstdio>

void list_nav_tables(std::FILE* out);

// True when the campaign holds any of the tables list_nav_tables lists.
bool nav_tables_exist();
