// The rows of the observation table: values, flags, the optional sky
// direction and the station's CSV field.
#include "export/observation_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "quality/quality_report.h"

namespace {

obs_value value(double v, char lli = ' ', char snr = ' ') {
    obs_value o{};
    o.value = v;
    o.lli = lli;
    o.snr = snr;
    return o;
}

}  // namespace

TEST(ObservationTable, RowsHoldTheValuesFlagsAndDirection) {
    const double none = NAN;
    const struct {
        obs_value c1, p1, l1, p2, l2;
        SkyDirection direction;
        const char* values;  // the row after "S,2,E,G05"
    } cases[] = {
        {value(21000000.123), value(0), value(110000000.5, '1', '7'), value(0), value(-5.0005, ' ', '4'),
         {none, none}, ",21000000.123,,110000000.500,,-5.000,1,,7,4,,\n"},  // -5.00049999...
        {value(0.0004), value(-0.0004), value(1e17), value(-1e-9), value(0.5),
         {none, none}, ",0.000,-0.000,100000000000000000.000,-0.000,0.500,,,,,,\n"},
        // Flags other than digits (a damaged record) stay empty.
        {value(1), value(2), value(3, '\0', 'x'), value(4), value(5, '9', '0'),
         {359.996, -0.004}, ",1.000,2.000,3.000,4.000,5.000,,9,,0,360.00,-0.00\n"},
        {value(1), value(2), value(3), value(4), value(5), {12.345, none},
         ",1.000,2.000,3.000,4.000,5.000,,,,,12.35,\n"},
    };
    for (const auto& c : cases) {
        obs_record obs{};
        obs.obs[OBS_C1] = c.c1;
        obs.obs[OBS_P1] = c.p1;
        obs.obs[OBS_L1] = c.l1;
        obs.obs[OBS_P2] = c.p2;
        obs.obs[OBS_L2] = c.l2;
        std::string row = "old;";
        append_observation_row(row, {"S", 2, "E", "G05"}, obs, c.direction);
        EXPECT_EQ(row, std::string("old;S,2,E,G05") + c.values);
    }
}

TEST(ObservationTable, FixedDecimalsAgreeWithPrintf) {
    for (const double v : {0.0005, 0.0015, 2.675, -2.675, 123456789.9995, 98765432101.2345,
                           1e12 + 0.25, -7.0, -1e-9, 9999999999.999, -9999999999.999}) {
        obs_record obs{};
        for (obs_value& o : obs.obs) o = value(v);
        std::string row;
        append_observation_row(row, {"S", 1, "E", "G01"}, obs, {});
        char text[64];
        std::snprintf(text, sizeof text, "%.3f", v);
        EXPECT_EQ(row.substr(row.find(",G01,") + 5, std::strlen(text)), text) << v;
    }
}
