#include "plot/sv_rows.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "plot/row_order.h"

namespace {

// The satellite occupations of one occupation in key order. Their keys begin
// with the occupation's record number ("%07ld", then the satellite's), so the
// walk starts at the first key with that beginning and ends with the last,
// instead of reading every satellite occupation of the campaign; the caller
// still compares each record's occupation.
struct satocc_walk {
    char prefix[24];
    std::size_t length;
};

long first_satocc(Campaign& c, satocc_walk* walk, long occupation) {
    std::snprintf(walk->prefix, sizeof walk->prefix, "%07ld", occupation);
    walk->length = std::strlen(walk->prefix);
    return db_find(&c.satocc_db, walk->prefix) ? db_current_record(&c.satocc_db) : 0;
}

long next_satocc(Campaign& c, const satocc_walk& walk) {
    const long r = db_next(&c.satocc_db);
    if (r == 0 || std::strncmp(db_current_key(&c.satocc_db), walk.prefix, walk.length) != 0)
        return 0;
    return r;
}

// One satellite occupation as the walk finds it.
struct found_satellite {
    std::int32_t satocc_no;
    bool known;      // its satellite record could be read
    std::string id;  // the satellite's identifier, cut at its field's width
};

}  // namespace

int sv_rows::slot_of(std::int32_t satocc_no) const {
    auto it = std::lower_bound(by_satocc.begin(), by_satocc.end(), satocc_no,
                               [](const auto& entry, std::int32_t n) { return entry.first < n; });
    return it != by_satocc.end() && it->first == satocc_no ? it->second : 0;
}

void collect_rows(Campaign& c, long occupation, double begin, sv_rows* rows) {
    std::vector<found_satellite> found;
    satocc_walk walk;
    for (long r = first_satocc(c, &walk, occupation); r != 0; r = next_satocc(c, walk)) {
        c.read_checked(CampaignTable::satocc, r);
        if (c.satocc.occ_ref != occupation) continue;
        found_satellite f{static_cast<std::int32_t>(r), false, ""};
        if (c.read_linked(CampaignTable::sat, c.satocc.sat_ref)) {
            f.known = true;
            f.id.assign(c.sat.prn, strnlen(c.sat.prn, sizeof c.sat.prn));
        }
        found.push_back(std::move(f));
    }

    std::vector<std::string> ids;
    for (const found_satellite& f : found) ids.push_back(f.id);
    const row_plan plan = plan_rows(ids);

    *rows = sv_rows{};
    rows->occupation = occupation;
    rows->page_rows = plan.page_rows;
    rows->slots.assign(found.size() + 1, sv_slot{});
    rows->place.assign(found.size() + 1, sv_row{});
    std::size_t k = 1;
    for (std::size_t page = 0; page < plan.page_rows.size(); ++page) {
        for (int row = 0; row < plan.page_rows[page]; ++row, ++k) {
            const found_satellite& f = found[plan.order[k - 1]];
            sv_slot& slot = rows->slots[k];
            slot.satocc_no = f.satocc_no;
            slot.l1_since = slot.l2_since = begin;
            char label[32];
            std::snprintf(label, sizeof label, "%3s", f.id.c_str());
            rows->place[k] = {static_cast<int>(page), row, f.known, label};
            rows->by_satocc.emplace_back(f.satocc_no, static_cast<int>(k));
        }
    }
    rows->slots[0].l1_since = rows->slots[0].l2_since = begin;
    std::sort(rows->by_satocc.begin(), rows->by_satocc.end());
}
