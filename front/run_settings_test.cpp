#include "front/run_settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "tests/testkit/testkit.h"

using testkit::run_in_child;

namespace {

bool same(const LineStyle& a, const LineStyle& b) { return a.grey == b.grey && a.width == b.width; }

// Seconds of a local date and time, converted directly by the platform.
double local_seconds(int year, int month, int day, int hour, int minute, int second) {
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1;
    return static_cast<double>(std::mktime(&fields));
}

class InZone {
public:
    explicit InZone(const char* zone) : previous_(std::getenv("TZ") ? std::getenv("TZ") : "") {
        setenv("TZ", zone, 1);
        tzset();
    }
    ~InZone() {
        setenv("TZ", previous_.c_str(), 1);
        tzset();
    }

private:
    std::string previous_;
};

double date_time(const char* text) {
    double time = -2;
    EXPECT_TRUE(parse_date_time(text, &time)) << text;
    return time;
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
    std::copy(std::begin(default_run_settings.sn_line_types),
              std::end(default_run_settings.sn_line_types), styles);
    set_line_types("-1,12", styles);
    EXPECT_TRUE(same(styles[0], LineStyle{255, 0}));
    EXPECT_TRUE(same(styles[1], LineStyle{200, 8}));
    for (int i = 2; i < 10; ++i)
        EXPECT_TRUE(same(styles[i], default_run_settings.sn_line_types[i])) << i;

    // Ten tokens set every slot; an eleventh is ignored.
    set_line_types("9,8,7,6,5,4,3,2,1,0,-1", styles);
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(same(styles[i], line_style(9 - i))) << i;
}

TEST(LineTypes, NonNumbersKeepTheirSlotOutOfRangeNumbersGiveTypeZero) {
    LineStyle styles[10];
    for (auto& s : styles) s = line_style(5);
    set_line_types("x,,-2,10,4y, 7,99999999999999999999", styles);
    EXPECT_TRUE(same(styles[0], line_style(5)));
    EXPECT_TRUE(same(styles[1], line_style(5)));
    EXPECT_TRUE(same(styles[2], line_style(0)));
    EXPECT_TRUE(same(styles[3], line_style(0)));
    EXPECT_TRUE(same(styles[4], line_style(4)));
    EXPECT_TRUE(same(styles[5], line_style(7)));
    EXPECT_TRUE(same(styles[6], line_style(0)));
    EXPECT_TRUE(same(styles[7], line_style(5)));
}

TEST(DateTime, LocalTimeOfTheGivenFields) {
    InZone berlin("Europe/Berlin");
    EXPECT_EQ(date_time("03.10.00,05:00:30"), local_seconds(2000, 10, 3, 5, 0, 30));
    // Summer time in Berlin: two hours ahead of UTC.
    EXPECT_EQ(date_time("03.10.00,05:00:30"), 970549230.0 - 7200);
    // Two-digit years: below 70 in 20xx, from 70 in 19xx.
    EXPECT_EQ(date_time("01.01.69,00:00:00"), local_seconds(2069, 1, 1, 0, 0, 0));
    EXPECT_EQ(date_time("24.12.99,23:59:59"), local_seconds(1999, 12, 24, 23, 59, 59));
    EXPECT_EQ(date_time("15.07.70,12:00:00"), local_seconds(1970, 7, 15, 12, 0, 0));
    // Month 0 is December of the same year.
    EXPECT_EQ(date_time("05.00.05,10:00:00"), local_seconds(2005, 12, 5, 10, 0, 0));
}

TEST(DateTime, DependsOnTheTimeZone) {
    double berlin, new_york;
    {
        InZone zone("Europe/Berlin");
        berlin = date_time("03.10.00,05:00:30");
    }
    {
        InZone zone("America/New_York");
        new_york = date_time("03.10.00,05:00:30");
        EXPECT_EQ(new_york, local_seconds(2000, 10, 3, 5, 0, 30));
    }
    EXPECT_EQ(new_york - berlin, 6 * 3600.0);
}

TEST(DateTime, FewerThanSixNumbersAreRefused) {
    double time = 7;
    for (const char* text : {"", "03.10.00", "03.10.00,05:00", "03-10-00,05:00:30", "x"})
        EXPECT_FALSE(parse_date_time(text, &time)) << text;
    EXPECT_EQ(time, 7);
}

TEST(Options, ValuesFlagsAndLaterOccurrencesOverride) {
    scan({"-rfirst.o", "-g", "-sList", "-aGN", "-rsecond.o", "-0", "-c", "-p", "-d1,2", "-d4",
          "-nanything", "-D", "-:", "stray"});
    const RunSettings& s = run_settings;
    EXPECT_STREQ(s.read_file, "second.o");
    EXPECT_STREQ(s.list_file, "List");
    EXPECT_STREQ(s.export_name, "GN");
    EXPECT_TRUE(s.do_read && s.do_list && s.do_export && s.do_plot && s.no_obs_data);
    EXPECT_FALSE(s.show_lat_lon || s.landscape || s.do_cycle_slips);
    EXPECT_STREQ(s.plot_station, "");
    // The second -d starts again at slot 0; slot 1 keeps the first -d's type.
    EXPECT_TRUE(same(s.sn_line_types[0], line_style(4)));
    EXPECT_TRUE(same(s.sn_line_types[1], line_style(2)));
    EXPECT_TRUE(same(s.sn_line_types[2], line_style(3)));
    EXPECT_EQ(s.plot_begin, -1);
    EXPECT_EQ(s.plot_end, -1);

    scan({"-tKOSG", "-b01.01.01,00:00:00", "-e02.01.01,00:00:00", "-b01.01.01,12:00:00"});
    EXPECT_STREQ(run_settings.plot_station, "KOSG");
    EXPECT_TRUE(run_settings.do_cycle_slips);
    EXPECT_FALSE(run_settings.do_plot || run_settings.do_read);
    EXPECT_EQ(run_settings.plot_end - run_settings.plot_begin, 12 * 3600.0);
}

TEST(Options, FieldsHoldValuesUpToTheirSize) {
    scan({"-r" + std::string(255, 'r'), "-t" + std::string(64, 't')});
    EXPECT_EQ(std::string(run_settings.read_file), std::string(255, 'r'));
    EXPECT_EQ(std::string(run_settings.plot_station), std::string(64, 't'));
}

TEST(Options, MissingOrOverlongValuesEndTheRun) {
    struct Case {
        std::vector<std::string> args;
        const char* text;
    };
    const std::vector<Case> cases = {
        {{"-r"}, "parameter expected."},
        {{"-gs"}, "parameter expected."},
        {{"-a"}, "parameter expected."},
        {{"-t"}, "parameter expected."},
        {{"-d"}, "parameter expected."},
        {{"-b"}, "date/time expected."},
        {{"-e"}, "date/time expected."},
        {{"-b03.10.00,05:00"}, "date/time expected."},
        {{"-e1.2.3"}, "date/time expected."},
        {{"-r" + std::string(256, 'r')}, "parameter expected."},
        {{"-s" + std::string(256, 's')}, "parameter expected."},
        {{"-a" + std::string(256, 'a')}, "parameter expected."},
        {{"-t" + std::string(65, 't')}, "parameter expected."},
    };
    for (const auto& c : cases) {
        auto r = run_in_child([&] { scan(c.args); });
        EXPECT_EQ(r.status, 1) << c.args[0].substr(0, 4);
        EXPECT_EQ(r.err, std::string("\nError in Zeile 0   : ") + c.text) << c.args[0].substr(0, 4);
        EXPECT_EQ(r.out, "");
    }
}
