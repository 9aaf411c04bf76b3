// The GEONAP project files of the campaign: station (.STA), observation
// (.OBS), receiver (.RCV) and antenna (.ANT) file.
#pragma once

// Writes the four files named by `base_name` plus ".STA", ".OBS", ".RCV" and
// ".ANT" from the campaign tables. Creates the receiver code table zzGN with
// its starting rows when it does not exist yet. Every error ends the program.
void export_geonap(const char* base_name);
