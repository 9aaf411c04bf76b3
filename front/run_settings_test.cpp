#include "front/run_settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "tests/testkit/testkit.h"

namespace {

bool same(const LineStyle& a, const LineStyle& b) { return a.grey == b.grey && a.width == b.width; }

struct Fields {
    int year, month, day, hour, minute, second;
};

// The option's time value under `zone`, next to mktime's seconds for the same
// local calendar fields.
std::pair<double, double> date_time_in(const char* zone, const char* text, Fields f) {
    const std::string previous = std::getenv("TZ") ? std::getenv("TZ") : "";
    setenv("TZ", zone, 1);
    tzset();
    double time = -2;
    EXPECT_TRUE(parse_date_time(text, &time)) << text;
    std::tm fields{};
    fields.tm_year = f.year - 1900;
    fields.tm_mon = f.month - 1;
    fields.tm_mday = f.day;
    fields.tm_hour = f.hour;
    fields.tm_min = f.minute;
    fields.tm_sec = f.second;
    fields.tm_isdst = -1;
    const double expected = static_cast<double>(std::mktime(&fields));
    setenv("TZ", previous.c_str(), 1);
    tzset();
    return {time, expected};
}

// Runs `args` through the option scan from the defaults.
void scan(std::vector<std::string> args) {
    run_settings = default_run_settings;
    args.insert(args.begin(), "lumerak");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    scan_options(static_cast<int>(argv.size()), argv.data());
}

}  // namespace

TEST(LineTypes, TokensFillSlotsFromZero) {
    LineStyle styles[10];
    std::copy_n(default_run_settings.sn_line_types, 10, styles);
    set_line_types("-1,12", styles);
    EXPECT_TRUE(same(styles[0], LineStyle{255, 0}));
    EXPECT_TRUE(same(styles[1], LineStyle{200, 8}));
    for (int i = 2; i < 10; ++i)
        EXPECT_TRUE(same(styles[i], default_run_settings.sn_line_types[i])) << i;

    // Ten tokens set every slot, an eleventh is ignored; non-numbers keep
    // their slot, numbers outside -1..9 give type 0.
    set_line_types("9,8,7,6,5,4,3,2,1,0,-1", styles);
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(same(styles[i], line_style(9 - i))) << i;
    set_line_types("x,,-2,10,4y, 7,99999999999999999999", styles);
    const int types[10] = {9, 8, 0, 0, 4, 7, 0, 2, 1, 0};
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(same(styles[i], line_style(types[i]))) << i;
}

TEST(DateTime, LocalTimeOfTheGivenFields) {
    // 3 October 2000 05:00:30; Berlin is on summer time, two hours ahead of UTC.
    auto [berlin, berlin_mktime] =
        date_time_in("Europe/Berlin", "03.10.00,05:00:30", Fields{2000, 10, 3, 5, 0, 30});
    EXPECT_EQ(berlin, berlin_mktime);
    EXPECT_EQ(berlin, 970549230.0 - 7200);
    auto [new_york, ny_mktime] =
        date_time_in("America/New_York", "03.10.00,05:00:30", Fields{2000, 10, 3, 5, 0, 30});
    EXPECT_EQ(new_york, ny_mktime);
    EXPECT_EQ(new_york - berlin, 6 * 3600.0);

    // Years below 70 are 20yy, from 70 on 19yy; month 0 is December.
    for (auto [text, fields] : {std::pair{"01.01.69,00:00:00", Fields{2069, 1, 1, 0, 0, 0}},
                                {"24.12.99,23:59:59", Fields{1999, 12, 24, 23, 59, 59}},
                                {"15.07.70,12:00:00", Fields{1970, 7, 15, 12, 0, 0}},
                                {"05.00.05,10:00:00", Fields{2005, 12, 5, 10, 0, 0}}}) {
        auto [time, expected] = date_time_in("Europe/Berlin", text, fields);
        EXPECT_EQ(time, expected) << text;
    }

    double time = 7;
    for (const char* text : {"", "03.10.00", "03.10.00,05:00", "03-10-00,05:00:30"})
        EXPECT_FALSE(parse_date_time(text, &time)) << text;
    EXPECT_EQ(time, 7);
}

TEST(Options, ValuesFlagsAndLaterOccurrencesOverride) {
    scan({"-rfirst.o", "-g", "-sList", "-aGN", "-rsecond.o", "-0", "-c", "-p", "-d1,2", "-d4",
          "-nanything", "-D", "-:", "stray", "-xTable"});
    const RunSettings& s = run_settings;
    EXPECT_STREQ(s.read_file, "second.o");
    EXPECT_STREQ(s.list_file, "List");
    EXPECT_STREQ(s.export_name, "GN");
    EXPECT_STREQ(s.table_file, "Table");
    EXPECT_TRUE(s.do_read && s.do_list && s.do_export && s.do_plot && s.no_obs_data && s.do_table);
    EXPECT_FALSE(s.show_lat_lon || s.landscape || s.do_cycle_slips);
    // The second -d starts again at slot 0; slot 1 keeps the first -d's type.
    EXPECT_TRUE(same(s.sn_line_types[0], line_style(4)));
    EXPECT_TRUE(same(s.sn_line_types[1], line_style(2)));
    EXPECT_TRUE(same(s.sn_line_types[2], line_style(3)));
    EXPECT_EQ(s.plot_begin, -1);

    scan({"-tKOSG", "-b01.01.01,00:00:00", "-e02.01.01,00:00:00", "-b01.01.01,12:00:00"});
    EXPECT_STREQ(run_settings.plot_station, "KOSG");
    EXPECT_TRUE(run_settings.do_cycle_slips);
    EXPECT_FALSE(run_settings.do_plot || run_settings.do_read);
    EXPECT_EQ(run_settings.plot_end - run_settings.plot_begin, 12 * 3600.0);

    // Values fill their fields to the last character.
    scan({"-r" + std::string(PATH_MAX - 1, 'r'), "-t" + std::string(64, 't')});
    EXPECT_EQ(std::string(run_settings.read_file), std::string(PATH_MAX - 1, 'r'));
    EXPECT_EQ(std::string(run_settings.plot_station), std::string(64, 't'));
}

TEST(Options, MissingOrOverlongValuesEndTheRun) {
    const std::pair<std::string, const char*> cases[] = {
        {"-r", "parameter expected."},
        {"-gs", "parameter expected."},
        {"-a", "parameter expected."},
        {"-t", "parameter expected."},
        {"-x", "parameter expected."},
        {"-d", "parameter expected."},
        {"-b", "date/time expected."},
        {"-e", "date/time expected."},
        {"-b03.10.00,05:00", "date/time expected."},
        {"-r" + std::string(PATH_MAX, 'r'), "parameter expected."},
        {"-s" + std::string(256, 's'), "parameter expected."},
        {"-a" + std::string(256, 'a'), "parameter expected."},
        {"-x" + std::string(256, 'x'), "parameter expected."},
        {"-t" + std::string(65, 't'), "parameter expected."},
    };
    for (const auto& [arg, text] : cases) {
        auto r = testkit::run_in_child([&] { scan({arg}); });
        EXPECT_EQ(r.status, 1) << arg.substr(0, 4);
        EXPECT_EQ(r.err, std::string("\nError in Zeile 0   : ") + text) << arg.substr(0, 4);
        EXPECT_EQ(r.out, "");
    }
}
