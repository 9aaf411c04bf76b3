// The order of the satellite rows of an occupation and how they fall onto
// pages.
//
// Up to 27 satellites keep the order of their satellite occupations (the
// order in which the reader met them). More satellites are ordered by system,
// G, R, E, C, J, I, S and then any other system letter, and by number within
// a system, so that a surveyor finds a satellite where he expects it. A page
// holds at most 54 rows; a system that does not fit on the page begun starts
// the next page when it fits there whole, and only a system of more than 54
// satellites is split.
#pragma once

#include <string>
#include <vector>

// Rows the frame holds at the full pitch of 0.65 cm, and rows of one page at
// most (half that pitch).
inline constexpr int sv_frame_rows = 27;
inline constexpr int sv_page_rows = 54;

struct row_plan {
    std::vector<int> order;      // satellite indexes, top row of the first page first
    std::vector<int> page_rows;  // rows of each page; at least one page
};

// Plans the rows of satellites named by their identifiers ("G05"; RINEX 2
// files also write "G 5" or " 5", a blank system letter meaning GPS), given
// in the order of their satellite occupations.
row_plan plan_rows(const std::vector<std::string>& satellites);
