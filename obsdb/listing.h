// The listing of the whole campaign database: one line per record of every
// table but zzCOR and zzGN, table by table in key order.
#pragma once

// Writes the listing into `file_name` (created or truncated) and prints
// "Done." on standard output. Every error ends the program.
void list_database(const char* file_name);
