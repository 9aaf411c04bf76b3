#include "plot/sv_rows.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "plot/row_order.h"

namespace {

// The satellite occupations of one occupation in key order. Their keys all
// begin with the occupation's part (satocc_key_prefix), so the walk starts at
// the first key with that beginning and ends with the last, instead of
// reading every satellite occupation of the campaign; the caller still
// compares each record's occupation.
struct satocc_walk {
    char prefix[satocc_key_size];
    std::size_t length;
};

long first_satocc(Campaign& c, satocc_walk* walk, long occupation) {
    satocc_key_prefix(walk->prefix, occupation);
    walk->length = std::strlen(walk->prefix);
    return db_find(&c.satocc_db, walk->prefix) ? db_current_record(&c.satocc_db) : 0;
}

long next_satocc(Campaign& c, const satocc_walk& walk) {
    const long r = db_next(&c.satocc_db);
    if (r == 0 || std::strncmp(db_current_key(&c.satocc_db), walk.prefix, walk.length) != 0)
        return 0;
    return r;
}

}  // namespace

int sv_rows::slot_of(std::int32_t satocc_no) const {
    auto it = std::lower_bound(by_satocc.begin(), by_satocc.end(), satocc_no,
                               [](const auto& entry, std::int32_t n) { return entry.first < n; });
    return it != by_satocc.end() && it->first == satocc_no ? it->second : 0;
}

void collect_rows(Campaign& c, long occupation, double begin, sv_rows* rows) {
    rows->occupation = occupation;
    rows->slots.assign(1, sv_slot{});
    rows->place.assign(1, sv_row{});
    rows->page_rows.clear();
    rows->by_satocc.clear();
    satocc_walk walk;
    for (long r = first_satocc(c, &walk, occupation); r != 0; r = next_satocc(c, walk)) {
        c.read_checked(CampaignTable::satocc, r);
        if (c.satocc.occ_ref != occupation) continue;
        sv_row& at = rows->place.emplace_back();
        rows->slots.emplace_back().satocc_no = static_cast<std::int32_t>(r);
        if (c.read_linked(CampaignTable::sat, c.satocc.sat_ref)) {
            at.labelled = true;
            std::snprintf(at.id, sizeof at.id, "%s", field_text(c.sat.prn).c_str());
        }
    }

    // Rows and pages: no table is read from here on.
    std::vector<std::string> ids;
    for (int k = 1; k <= rows->count(); ++k) ids.emplace_back(rows->place[k].id);
    const row_plan plan = plan_rows(ids);
    const std::vector<sv_slot> found_slots = rows->slots;
    const std::vector<sv_row> found_places = rows->place;
    rows->page_rows = plan.page_rows;
    int k = 1;
    for (int page = 0; page < rows->pages(); ++page) {
        for (int row = 0; row < plan.page_rows[page]; ++row, ++k) {
            const int found = plan.order[k - 1] + 1;
            sv_slot& slot = rows->slots[k];
            slot = found_slots[found];
            slot.l1_since = slot.l2_since = begin;
            rows->place[k] = found_places[found];
            rows->place[k].page = page;
            rows->place[k].row = row;
            rows->by_satocc.emplace_back(slot.satocc_no, k);
        }
    }
    rows->slots[0].l1_since = rows->slots[0].l2_since = begin;
    std::sort(rows->by_satocc.begin(), rows->by_satocc.end());
}
