// The layout of the rows on pages: their order and page breaks, the row
// geometry at every pitch, and the fitting of long file names.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "plot/page_geometry.h"
#include "plot/row_order.h"

namespace {

// Satellites "G01" ... of a system, numbered from `first`.
std::vector<std::string> system_of(char letter, int count, int first = 1) {
    std::vector<std::string> ids;
    char id[16];
    for (int n = first; n < first + count; ++n) {
        std::snprintf(id, sizeof id, "%c%02d", letter, n);
        ids.push_back(id);
    }
    return ids;
}

std::vector<std::string> joined(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(PlanRows, OrdersBySystemAndNumberAndFillsPagesOf54) {
    struct Case {
        std::vector<std::string> ids;   // in the order of their satellite occupations
        std::vector<std::string> rows;  // expected row order
        std::vector<int> page_rows;     // expected rows per page
    };
    const std::vector<std::string> mixed27 = joined({system_of('E', 9), system_of('G', 18)});
    const Case cases[] = {
        // Up to 27 keep the order in which the reader met them.
        {mixed27, mixed27, {27}},
        // A blank system letter is GPS; other letters follow SBAS.
        {joined({system_of('C', 4),
                 {"G 5", " 3", "R02", "S20", "X01", "J07", "I01", "E11"},
                 system_of('G', 10, 10),
                 system_of('E', 10, 20)}),
         joined({{" 3", "G 5"},
                 system_of('G', 10, 10),
                 {"R02", "E11"},
                 system_of('E', 10, 20),
                 system_of('C', 4),
                 {"J07", "I01", "S20", "X01"}}),
         {32}},
        {joined({system_of('R', 24), system_of('G', 30)}),
         joined({system_of('G', 30), system_of('R', 24)}),
         {54}},
        // Only a system of more than 54 is split.
        {joined({system_of('G', 20), system_of('C', 60)}),
         joined({system_of('G', 20), system_of('C', 60)}),
         {54, 26}},
    };
    for (const Case& c : cases) {
        const row_plan plan = plan_rows(c.ids);
        std::vector<std::string> rows;
        for (int i : plan.order) rows.push_back(c.ids[i]);
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(plan.page_rows, c.page_rows);
    }
}

sn_page page_of(int rows, int bands, int count_levels) {
    sn_page page = {0, 100, 0.26, 1, 0, 0, 0, 0, 0, default_sn_line_types};
    set_page_rows(&page, rows, bands, count_levels);
    return page;
}

TEST(PageGeometry, RowsShareTheFrameOf27RowsAndKeepTheirShape) {
    struct Case {
        int rows, bands, count_levels;
        double pitch, frame, top_l1, top_l2, bottom_l2, count_pitch;
        int width_of_40, count_step;
    };
    const Case cases[] = {
        // Up to 27 rows the frame grows with them at 0.65 cm.
        {2, 2, 0, 0.65, 1.3, 1.8, 1.6, 0.95, 0.65, 40, 1},
        {27, 27, 0, 0.65, 17.55, 18.05, 17.85, 0.95, 0.65, 40, 1},
        // More share 17.55 cm; the lines keep their place in the band.
        {54, 54, 0, 0.325, 17.55, 18.15, 18.05, 0.825, 0.325, 20, 1},
        // A page of a series: the frame of 27 rows, rows from the top, and
        // the count scale of all satellites of the occupation.
        {25, 27, 107, 0.65, 17.55, 18.05, 17.85, 2.25, 17.55 / 107, 40, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rows);
        const sn_page page = page_of(c.rows, c.bands, c.count_levels);
        EXPECT_DOUBLE_EQ(page.pitch, c.pitch);
        EXPECT_DOUBLE_EQ(frame_height(page), c.frame);
        EXPECT_NEAR(row_line_y(page, SN_L1, 0), c.top_l1, 1e-9);
        EXPECT_NEAR(row_line_y(page, SN_L2, 0), c.top_l2, 1e-9);
        EXPECT_NEAR(row_line_y(page, SN_L2, c.rows - 1), c.bottom_l2, 1e-9);
        EXPECT_DOUBLE_EQ(page.count_pitch, c.count_pitch);
        EXPECT_EQ(row_line_width(page, 40), c.width_of_40);
        EXPECT_EQ(count_label_step(page), c.count_step);
        // The count curve's top level stays inside the frame, whose top edge
        // stands 0.07 cm above the last band.
        EXPECT_LE(count_level_y(page, page.count_levels),
                  sn_frame_bottom + frame_height(page) + 0.07);
    }
}

TEST(PageGeometry, LongFileNamesAreFittedBesideTheLegend) {
    struct Case {
        std::string name;
        int size;
        bool centred;
        std::string text;
    };
    const Case cases[] = {
        {std::string(22, 'a'), 8, true, std::string(22, 'a')},
        {std::string(41, 'a'), 7, false, std::string(41, 'a')},  // ACOR...crx.gz
        {std::string(80, 'x'), 5, false, std::string(27, 'x') + "..." + std::string(28, 'x')},
    };
    for (const Case& c : cases) {
        const file_name_setting f = set_file_name(c.name);
        EXPECT_EQ(f.size, c.size) << c.name;
        EXPECT_EQ(f.centred, c.centred) << c.name;
        EXPECT_EQ(f.text, c.text) << c.name;
        EXPECT_DOUBLE_EQ(f.x, c.centred ? 27.0 : 28.9) << c.name;
    }
}

}  // namespace
