// The satellite rows of an occupation's pages: one slot per satellite
// occupation with its line state, the page and row it is drawn on, its label,
// and the lookup from a satellite occupation to its slot.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "obsdb/campaign.h"
#include "plot/sn_elements.h"

// Where a row is drawn and what its label says.
struct sv_row {
    int page = 0;           // page index, 0 for the first page
    int row = 0;            // row index on its page, 0 for the top row
    bool labelled = false;  // the satellite's record could be read
    char id[20] = {};       // the satellite's identifier
};

struct sv_rows {
    long occupation = 0;
    // Slot 0 is the satellite-count curve; slots 1 to count() are the rows,
    // the top row of the first page first.
    std::vector<sv_slot> slots;
    std::vector<sv_row> place;   // per slot; entry 0 is unused
    std::vector<int> page_rows;  // rows of each page

    int count() const { return static_cast<int>(slots.size()) - 1; }
    int pages() const { return static_cast<int>(page_rows.size()); }
    // The slot of a satellite occupation, 0 when it has none.
    int slot_of(std::int32_t satocc_no) const;

    // Satellite occupations by record number with their slots.
    std::vector<std::pair<std::int32_t, int>> by_satocc;
};

// Collects the satellite occupations of `occupation` from zzSATOCC (in key
// order) with their satellites from zzSAT, orders them into rows and pages,
// and opens every row's lines at `begin`. Everything collected is held in
// `rows` from the first read on, and nothing on the heap outside it, so that
// an error report during the walk leaves no memory that cannot be reached.
void collect_rows(Campaign& c, long occupation, double begin, sv_rows* rows);
