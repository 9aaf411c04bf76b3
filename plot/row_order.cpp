#include "plot/row_order.h"

#include <algorithm>

#include "quality/frequencies.h"

namespace {

// The satellite number after the system letter; blanks are skipped and a
// number that cannot be read sorts last.
int number_of(const std::string& id) {
    int number = 0;
    bool digits = false;
    for (std::size_t i = 1; i < id.size(); ++i) {
        if (id[i] == ' ' && !digits) continue;
        if (id[i] < '0' || id[i] > '9' || number > 9999) break;
        number = number * 10 + (id[i] - '0');
        digits = true;
    }
    return digits ? number : 99999;
}

}  // namespace

row_plan plan_rows(const std::vector<std::string>& satellites) {
    const int total = static_cast<int>(satellites.size());
    row_plan plan;
    plan.order.resize(satellites.size());
    for (int i = 0; i < total; ++i) plan.order[i] = i;
    if (total <= sv_frame_rows) {
        plan.page_rows.push_back(total);
        return plan;
    }
    auto rank = [&](int i) { return system_rank(satellite_system(satellites[i].c_str())); };
    std::stable_sort(plan.order.begin(), plan.order.end(), [&](int a, int b) {
        const int ra = rank(a), rb = rank(b);
        if (ra != rb) return ra < rb;
        const std::string& ia = satellites[a];
        const std::string& ib = satellites[b];
        const int na = number_of(ia), nb = number_of(ib);
        if (na != nb) return na < nb;
        return ia < ib;
    });

    int on_page = 0;
    for (std::size_t start = 0; start < plan.order.size();) {
        std::size_t end = start;
        while (end < plan.order.size() && rank(plan.order[end]) == rank(plan.order[start])) ++end;
        const int group = static_cast<int>(end - start);
        if (on_page + group > sv_page_rows && on_page > 0 && group <= sv_page_rows) {
            plan.page_rows.push_back(on_page);  // the system begins the next page
            on_page = 0;
        }
        for (int i = 0; i < group; ++i) {
            if (on_page == sv_page_rows) {
                plan.page_rows.push_back(on_page);
                on_page = 0;
            }
            ++on_page;
        }
        start = end;
    }
    plan.page_rows.push_back(on_page);
    return plan;
}
