#include "rinex/rinex3_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>

// Lines attributed to a station (ACOR, TWTF, CCJ2, NRMG, SPTU, KMS3), a phone
// log or the gnsstk samples are taken unchanged from real RINEX 3 and 4
// observation files, unless a comment says what was changed; the others are
// written for the case they test.

namespace {

rinex3_type_lists lists_of(std::initializer_list<const char*> lines) {
    rinex3_type_lists lists;
    for (const char* line : lines) EXPECT_TRUE(rinex3_add_types_line(&lists, line)) << line;
    return lists;
}

rinex3_plan plan_of(std::initializer_list<const char*> lines) {
    rinex3_plan plan;
    rinex3_make_plan(lists_of(lines), &plan);
    return plan;
}

// The types chosen for C1, P1, L1, P2, L2, "-" where a slot has none.
std::string chosen(const rinex3_type_lists& lists, char system) {
    const rinex3_system_types* types = nullptr;
    for (int i = 0; i < lists.system_count; ++i)
        if (lists.systems[i].system == system) types = &lists.systems[i];
    if (types == nullptr) return "no list";
    const rinex3_selection s = rinex3_select_slots(*types);
    std::string text;
    for (int slot = 0; slot < OBS_SLOTS; ++slot) {
        if (slot > 0) text += ' ';
        const int type = s.type_of_slot[slot];
        text += type < 0 ? "-" : types->type[type];
        if (type >= 0) {
            EXPECT_EQ(s.slot_of_type[type], slot);
        }
    }
    return text;
}

// Value, loss-of-lock and strength characters of one slot as text, e.g.
// "129274705.784|0|6"; zero flag bytes show as '~'.
std::string slot_text(const obs_value& v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f|%c|%c", v.value, v.lli ? v.lli : '~',
                  v.snr ? v.snr : '~');
    return text;
}

struct SatLine {
    bool ok;
    std::string satellite;
    std::string slots[OBS_SLOTS];
};

SatLine read_sat(const std::string& line, const rinex3_plan& plan) {
    char satellite[4] = "???";
    obs_value obs[OBS_SLOTS];
    std::memset(obs, 0x55, sizeof obs);
    SatLine result;
    result.ok = rinex3_read_sat_line(line, plan, satellite, obs);
    result.satellite = satellite;
    for (int slot = 0; slot < OBS_SLOTS; ++slot) {
        result.slots[slot] = slot_text(obs[slot]);
        if (result.ok) {
            EXPECT_EQ(obs[slot].padding[0] | obs[slot].padding[1], 0);
        }
    }
    return result;
}

const char* const acor_types[] = {
    "G   12 C1C L1C S1C C2S L2S S2S C2W L2W S2W C5Q L5Q S5Q      SYS / # / OBS TYPES",
    "R   12 C1C L1C S1C C2P L2P S2P C2C L2C S2C C3Q L3Q S3Q      SYS / # / OBS TYPES",
    "E   15 C1C L1C S1C C5Q L5Q S5Q C6C L6C S6C C7Q L7Q S7Q C8Q  SYS / # / OBS TYPES",
    "       L8Q S8Q                                              SYS / # / OBS TYPES",
    "C    9 C2I L2I S2I C6I L6I S6I C7I L7I S7I                  SYS / # / OBS TYPES",
};

const char* const acor_g01 =
    "G01  24600158.420   129274705.78406        38.300    24600162.420   100733552.50006        "
    "39.200    24600162.100   100733552.49806        37.150    24600160.900    96536320.75806    "
    "    40.800";

}  // namespace

TEST(RinexFirstLine, ObservationFilesGoToTheirReader) {
    struct Case {
        const char* line;
        rinex_format format;
        double version;
    };
    const Case cases[] = {
        {"     2.11           OBSERVATION DATA    M (MIXED)           RINEX VERSION / TYPE",
         rinex_format::rinex2_obs, 2.11},
        {"     2              OBSERVATION DATA    GPS                 RINEX VERSION / TYPE",
         rinex_format::rinex2_obs, 2},
        {"     3.04           OBSERVATION DATA    M: MIXED            RINEX VERSION / TYPE",
         rinex_format::rinex3_obs, 3.04},
        {"     3.00           OBSERVATION DATA    M (MIXED)           RINEX VERSION / TYPE",
         rinex_format::rinex3_obs, 3.00},
        {"     4.00           OBSERVATION DATA    M (MIXED)           RINEX VERSION / TYPE",
         rinex_format::rinex3_obs, 4.00},
        // CR LF line end, as in the TWTF file.
        {"     3.04           OBSERVATION DATA    M                   RINEX VERSION / TYPE\r",
         rinex_format::rinex3_obs, 3.04},
        {"1.0                 COMPACT RINEX FORMAT                    CRINEX VERS   / TYPE",
         rinex_format::compact1, 1.0},
        {"3.0                 COMPACT RINEX FORMAT                    CRINEX VERS   / TYPE",
         rinex_format::compact3, 3.0},
        // Navigation files go to their own reader.
        {"     3.04           N: GNSS NAV DATA    M: MIXED            RINEX VERSION / TYPE",
         rinex_format::navigation, 3.04},
        {"     2.11           N: GPS NAV DATA                         RINEX VERSION / TYPE",
         rinex_format::navigation, 2.11},
        {"     2.11           G: GLONASS NAV DATA                     RINEX VERSION / TYPE",
         rinex_format::navigation, 2.11},
        {"     4.00           N: GNSS NAV DATA    M: MIXED            RINEX VERSION / TYPE",
         rinex_format::navigation, 4.00},
    };
    for (const Case& c : cases) {
        const rinex_first_line r = rinex_classify_first_line(c.line);
        EXPECT_EQ(r.format, c.format) << c.line;
        EXPECT_EQ(r.version, c.version) << c.line;
        EXPECT_STREQ(r.reason, "") << c.line;
    }
}

TEST(RinexFirstLine, OtherVersionsAndTypesAreRefusedWithAReason) {
    struct Case {
        const char* line;
        const char* reason;
    };
    const Case cases[] = {
        {"     1.00           N: GPS NAV DATA                         RINEX VERSION / TYPE",
         "RINEX version 1.00 is not read (only 2.xx, 3.xx, 4.xx)"},
        {"     2.11           H: GEO NAV MSG DATA                     RINEX VERSION / TYPE",
         "a file of geostationary navigation data (type H), not of observation data"},
        {"     2.11           METEOROLOGICAL DATA                     RINEX VERSION / TYPE",
         "a file of meteorological data (type M), not of observation data"},
        {"     3.04           X                                       RINEX VERSION / TYPE",
         "file type 'X' is not observation data"},
        {"     1.00           OBSERVATION DATA    G (GPS)             RINEX VERSION / TYPE",
         "RINEX version 1.00 is not read (only 2.xx, 3.xx, 4.xx)"},
        {"     5.00           OBSERVATION DATA    M                   RINEX VERSION / TYPE",
         "RINEX version 5.00 is not read (only 2.xx, 3.xx, 4.xx)"},
        {"     x.yz           OBSERVATION DATA    M                   RINEX VERSION / TYPE",
         "the RINEX version cannot be read"},
        {"2.0                 COMPACT RINEX FORMAT                    CRINEX VERS   / TYPE",
         "compact RINEX version 2.0 is not read (only 1.0 and 3.0)"},
        {"HEADER CHANGED BY EPN CB ON 2021-12-28                      COMMENT",
         "the first line is not a RINEX VERSION / TYPE line"},
        {"", "the first line is not a RINEX VERSION / TYPE line"},
        // The label out of its columns 61-80: the version and type columns
        // cannot be trusted either.
        {"     3.04RINEX VERSION / TYPE", "the first line is not a RINEX VERSION / TYPE line"},
        {"     3.04           OBSERVATION DATA    M: MIXED             RINEX VERSION / TYPE",
         "the first line is not a RINEX VERSION / TYPE line"},
        // Cut before the file type.
        {"     3.04                                                   RINEX VERSION / TYPE",
         "file type ' ' is not observation data"},
    };
    for (const Case& c : cases) {
        const rinex_first_line r = rinex_classify_first_line(c.line);
        EXPECT_EQ(r.format, rinex_format::refused) << c.line;
        EXPECT_STREQ(r.reason, c.reason) << c.line;
    }
}

TEST(RinexHeader, LabelsAreReadFromColumns61To80) {
    EXPECT_EQ(rinex3_header_label(
                  "ACOR                                                        MARKER NAME"),
              R3_MARKER_NAME);
    // Labels padded with blanks to column 80 (CCJ2) and with CR LF (TWTF).
    EXPECT_EQ(
        rinex3_header_label(
            "CCJ200JPN                                                   MARKER NAME         "),
        R3_MARKER_NAME);
    EXPECT_EQ(rinex3_header_label(
                  "                                                            END OF HEADER\r"),
              R3_END_OF_HEADER);
    EXPECT_EQ(
        rinex3_header_label(
            "       S2L C5Q L5Q D5Q S5Q                                  SYS / # / OBS TYPES\r"),
        R3_OBS_TYPES);
    EXPECT_EQ(rinex3_header_label(
                  "  2021    12    21     0     0    0.0000000     GPS         TIME OF FIRST OBS"),
              R3_FIRST_OBS);
    EXPECT_EQ(rinex3_header_label(
                  "    18    18  2185     7                                    LEAP SECONDS"),
              R3_OTHER_LABEL);
    // The receiver's name runs into the label columns of the RINEX 2 labels
    // only in a broken file; a label elsewhere on the line is no label.
    EXPECT_EQ(rinex3_header_label("MARKER NAME"), R3_NO_LABEL);
    EXPECT_EQ(rinex3_header_label("> 2021 12 21 00 00  0.0000000  0 38"), R3_NO_LABEL);
    EXPECT_EQ(rinex3_header_label(
                  "ACOR                                                         MARKER NAME"),
              R3_OTHER_LABEL);
}

TEST(RinexHeader, FieldsFillTheRecords) {
    sta_record sta{};
    cor_record cor{};
    rcv_record rcv{};
    ant_record ant{};
    occ_record occ{};
    const HeaderRecords to{&sta, &cor, &rcv, &ant, &occ};
    const char* const lines[] = {
        "ACOR                                                        MARKER NAME",
        "13434M001                                                   MARKER NUMBER",
        "GSI                 Geospatial Information Authority of JapaOBSERVER / AGENCY   ",
        "1833574             LEICA GR50          4.50/7.710          REC # / TYPE / VERS",
        "103033              LEIAT504        LEIS                    ANT # / TYPE",
        "        3.0460        0.0000        0.0000                  ANTENNA: DELTA H/E/N",
        "  4594489.8680  -678367.9920  4357065.8700                  APPROX POSITION XYZ",
        "    30.000                                                  INTERVAL",
        "                                                            END OF HEADER",
    };
    for (const char* line : lines) rinex3_store_header_line(rinex3_header_label(line), line, to);
    EXPECT_STREQ(sta.marker_name, "ACOR");
    EXPECT_STREQ(sta.marker_number, "13434M001");
    EXPECT_STREQ(occ.observer, "GSI                 ");
    EXPECT_STREQ(occ.agency, "Geospatial Information Authority of Japa");
    EXPECT_STREQ(rcv.rcv_number, "1833574");
    EXPECT_STREQ(rcv.rcv_type, "LEICA GR50");
    EXPECT_STREQ(ant.ant_number, "103033");
    EXPECT_STREQ(ant.ant_type, "LEIAT504        LEIS");
    EXPECT_EQ(double{occ.delta_h}, 3.046);
    EXPECT_EQ(double{occ.delta_e}, 0.0);
    EXPECT_EQ(double{occ.delta_n}, 0.0);
    EXPECT_EQ(occ.occ_flag, ' ');
    EXPECT_EQ(double{cor.pos_x}, 4594489.868);
    EXPECT_EQ(double{cor.pos_y}, -678367.992);
    EXPECT_EQ(double{cor.pos_z}, 4357065.87);
    EXPECT_EQ(cor.cor_flag, ' ');
    EXPECT_EQ(occ.interval, 30);
    EXPECT_EQ(occ.wlf_l1, 1);
    EXPECT_EQ(occ.wlf_l2, 1);

    // A phone log's two-word name keeps its first word; a blank name or
    // number stays empty instead of taking a word of the label.
    rinex3_store_header_line(
        R3_MARKER_NAME, "Google GnssLogger                                           MARKER NAME\r",
        to);
    EXPECT_STREQ(sta.marker_name, "Google");
    rinex3_store_header_line(
        R3_MARKER_NAME, "                                                            MARKER NAME",
        to);
    EXPECT_STREQ(sta.marker_name, "");
    rinex3_store_header_line(
        R3_MARKER_NUMBER,
        "                                                            MARKER NUMBER", to);
    EXPECT_STREQ(sta.marker_number, "");

    // Unreadable numbers keep what was there; a sub-second interval is 0.
    rinex3_store_header_line(
        R3_POSITION,
        "  4594489.8680  ************  4357065.9999                  APPROX POSITION XYZ", to);
    EXPECT_EQ(double{cor.pos_x}, 4594489.868);
    EXPECT_EQ(double{cor.pos_y}, -678367.992);
    EXPECT_EQ(double{cor.pos_z}, 4357065.9999);
    rinex3_store_header_line(
        R3_INTERVAL, "                                                            INTERVAL", to);
    EXPECT_EQ(occ.interval, 30);
    rinex3_store_header_line(
        R3_INTERVAL, "     0.100                                                  INTERVAL", to);
    EXPECT_EQ(occ.interval, 0);
}

TEST(RinexHeader, TimeOfFirstObservation) {
    rinex3_epoch t;
    char system[4] = "???";
    ASSERT_TRUE(rinex3_read_first_obs(
        "  2023    11    07    23    43   15.0000000     GPS         TIME OF FIRST OBS\r", &t,
        system));
    EXPECT_EQ(t.year, 2023);
    EXPECT_EQ(t.month, 11);
    EXPECT_EQ(t.day, 7);
    EXPECT_EQ(t.hour, 23);
    EXPECT_EQ(t.minute, 43);
    EXPECT_EQ(t.seconds, 15.0);
    EXPECT_STREQ(system, "GPS");
    // The gnsstk sample writes the seconds and the time system one column late.
    ASSERT_TRUE(rinex3_read_first_obs(
        "  2010     3     5     0     0     0.0000000     GPS        TIME OF FIRST OBS", &t,
        system));
    EXPECT_EQ(t.month, 3);
    EXPECT_EQ(t.seconds, 0.0);
    EXPECT_STREQ(system, "GPS");
    EXPECT_FALSE(rinex3_read_first_obs(
        "  2010    13     5     0     0     0.0000000     GPS        TIME OF FIRST OBS", &t,
        system));
    EXPECT_FALSE(rinex3_read_first_obs(
        "                                            TIME OF FIRST OBS", &t, system));
}

TEST(RinexTypes, ListsWithContinuationLines) {
    // TWTF: 18 GPS types over two lines, CR LF line ends.
    rinex3_type_lists lists = lists_of({
        "G   18 C1C L1C D1C S1C C1W S1W C2W L2W D2W S2W C2L L2L D2L  SYS / # / OBS TYPES\r",
        "       S2L C5Q L5Q D5Q S5Q                                  SYS / # / OBS TYPES\r",
        "S    4 C1C L1C D1C S1C                                      SYS / # / OBS TYPES\r",
    });
    ASSERT_EQ(lists.system_count, 2);
    EXPECT_EQ(lists.systems[0].count, 18);
    EXPECT_EQ(lists.systems[0].listed, 18);
    EXPECT_STREQ(lists.systems[0].type[12], "D2L");
    EXPECT_STREQ(lists.systems[0].type[13], "S2L");
    EXPECT_STREQ(lists.systems[0].type[17], "S5Q");
    EXPECT_EQ(lists.systems[1].listed, 4);

    // Three lines of one list (30 types); the following system starts afresh.
    lists = lists_of({
        "G   30 C1C L1C D1C S1C C1W L1W D1W S1W C2W L2W D2W S2W C2L  SYS / # / OBS TYPES",
        "       L2L D2L S2L C5Q L5Q D5Q S5Q C1L L1L D1L S1L C2S L2S  SYS / # / OBS TYPES",
        "       D2S S2S C5X L5X                                      SYS / # / OBS TYPES",
        "R    4 C1C L1C D1C S1C                                      SYS / # / OBS TYPES",
    });
    ASSERT_EQ(lists.system_count, 2);
    EXPECT_EQ(lists.systems[0].listed, 30);
    EXPECT_STREQ(lists.systems[0].type[25], "L2S");
    EXPECT_STREQ(lists.systems[0].type[26], "D2S");
    EXPECT_STREQ(lists.systems[0].type[29], "L5X");
    EXPECT_EQ(lists.systems[1].listed, 4);
    EXPECT_EQ(chosen(lists, 'G'), "C1C C1W L1C C2W L2W");

    // A second list of a system, and its continuation, change nothing.
    lists = lists_of({
        "G    2 C1C L1C                                              SYS / # / OBS TYPES",
        "G   14 C1W L1W D1W S1W C2W L2W D2W S2W C2L L2L D2L S2L C5Q  SYS / # / OBS TYPES",
        "       L5Q                                                  SYS / # / OBS TYPES",
    });
    ASSERT_EQ(lists.system_count, 1);
    EXPECT_EQ(lists.systems[0].count, 2);
    EXPECT_EQ(lists.systems[0].listed, 2);

    // Lines that start no list and continue none.
    rinex3_type_lists empty;
    EXPECT_FALSE(rinex3_add_types_line(
        &empty, "       L8Q S8Q                                              SYS / # / OBS TYPES"));
    EXPECT_FALSE(rinex3_add_types_line(
        &empty, "G   xx C1C L1C                                              SYS / # / OBS TYPES"));
    EXPECT_FALSE(rinex3_add_types_line(&empty, ""));
    EXPECT_EQ(empty.system_count, 0);
}

TEST(RinexSlots, PreferenceOrderPerSystem) {
    // Real lists: ACOR (G, R, E continued, C), CCJ2 (E, J), NRMG (C on B1, J, S),
    // SPTU (R with both codes), KMS3 (RINEX 4 G list without S types).
    rinex3_type_lists acor =
        lists_of({acor_types[0], acor_types[1], acor_types[2], acor_types[3], acor_types[4]});
    EXPECT_EQ(chosen(acor, 'G'), "C1C - L1C C2W L2W");  // C2W before C2S, L2W before L2S
    EXPECT_EQ(chosen(acor, 'R'), "C1C - L1C C2P L2P");
    EXPECT_EQ(chosen(acor, 'E'), "C1C - L1C C5Q L5Q");
    EXPECT_EQ(chosen(acor, 'C'), "C2I - L2I C7I L7I");  // C7I before C6I

    rinex3_type_lists nrmg = lists_of({
        "J   12 C1C C2X C5X D1C D2X D5X L1C L2X L5X S1C S2X S5X      SYS / # / OBS TYPES",
        "S    8 C1C C5I D1C D5I L1C L5I S1C S5I                      SYS / # / OBS TYPES",
        "C   12 C1I C6I C7I D1I D6I D7I L1I L6I L7I S1I S6I S7I      SYS / # / OBS TYPES",
    });
    EXPECT_EQ(chosen(nrmg, 'J'), "C1C - L1C C2X L2X");
    EXPECT_EQ(chosen(nrmg, 'S'), "C1C - L1C C5I L5I");
    EXPECT_EQ(chosen(nrmg, 'C'), "C1I - L1I C7I L7I");  // no B1-2 signals: B1 ones

    rinex3_type_lists ccj = lists_of({
        "E    8 C1X C5X D1X D5X L1X L5X S1X S5X                      SYS / # / OBS TYPES ",
        "J   16 C1C C1X C2X C5X D1C D1X D2X D5X L1C L1X L2X L5X S1C  SYS / # / OBS TYPES ",
        "       S1X S2X S5X                                          SYS / # / OBS TYPES ",
        "R   12 C1C L1C S1C C1P L1P S1P C2C L2C S2C C2P L2P S2P      SYS / # / OBS TYPES",
    });
    EXPECT_EQ(chosen(ccj, 'E'), "C1X - L1X C5X L5X");
    EXPECT_EQ(chosen(ccj, 'J'), "C1C - L1C C2X L2X");
    EXPECT_EQ(chosen(ccj, 'R'), "C1C C1P L1C C2P L2P");  // C2P and L2P before C2C and L2C

    rinex3_type_lists kms3 = lists_of({
        "G   11 C1C C1L C1W C2L C2W C5Q L1C L1L L2L L2W L5Q          SYS / # / OBS TYPES",
    });
    EXPECT_EQ(chosen(kms3, 'G'), "C1C C1W L1C C2W L2W");

    // Several candidates of every slot, the preferred one last in the list.
    rinex3_type_lists many = lists_of({
        "G   18 C1P C1W C1C L1L L1X L1Y L1W L1C C2D C2L C2P C2W L2D  SYS / # / OBS TYPES",
        "       L2C L2P L2W S1C S2W                                  SYS / # / OBS TYPES",
        "E    8 C1A C1B C1X C5I C5X L1A L1B L1X                      SYS / # / OBS TYPES",
        "C    8 C1Q C1X C2Q C6Q C7Q L1Q L6Q L7Q                      SYS / # / OBS TYPES",
        "J    6 C1Z C1S C1L L1S C2S L2S                              SYS / # / OBS TYPES",
        "I    8 C5C C5B C5A L5C L5A C9C C9B L9C                      SYS / # / OBS TYPES",
        "S    2 C5Q L5Q                                              SYS / # / OBS TYPES",
        "X    4 C1C L1C C2W L2W                                      SYS / # / OBS TYPES",
    });
    EXPECT_EQ(chosen(many, 'G'), "C1C C1W L1C C2W L2W");
    EXPECT_EQ(chosen(many, 'E'), "C1X - L1X C5X -");
    EXPECT_EQ(chosen(many, 'C'), "C2Q - L1Q C7Q L7Q");
    EXPECT_EQ(chosen(many, 'J'), "C1L - L1S C2S L2S");
    EXPECT_EQ(chosen(many, 'I'), "C5A - L5A C9B L9C");
    EXPECT_EQ(chosen(many, 'S'), "- - - C5Q L5Q");
    EXPECT_EQ(chosen(many, 'X'), "- - - - -");  // unknown system: no slots

    // Strength types: same band and attribute as the chosen phase.
    rinex3_plan plan;
    rinex3_make_plan(many, &plan);
    const rinex3_selection* g = rinex3_plan_for(plan, 'G');
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->strength_type[OBS_L1], 16);  // S1C for L1C
    EXPECT_EQ(g->strength_type[OBS_L2], 17);  // S2W for L2W
    EXPECT_EQ(g->strength_type[OBS_C1], -1);
    EXPECT_EQ(rinex3_plan_for(plan, ' '), g);  // a blank letter is GPS
    EXPECT_EQ(rinex3_plan_for(plan, 'E')->strength_type[OBS_L1], -1);
    EXPECT_EQ(rinex3_plan_for(plan, 'R'), nullptr);
    EXPECT_EQ(rinex3_plan_for(plan, '?'), nullptr);
}

TEST(RinexSlots, StrengthDigitAtEveryBoundary) {
    struct Case {
        double db_hz;
        char digit;
    };
    const Case cases[] = {
        {0, ' '},      {-3, ' '},    {0.001, '1'}, {11.9, '1'}, {12, '2'},   {17.9, '2'},
        {18, '3'},     {23.99, '3'}, {24, '4'},    {30, '5'},   {36, '6'},   {42, '7'},
        {47.999, '7'}, {48, '8'},    {53.9, '8'},  {54, '9'},   {99.5, '9'},
    };
    for (const Case& c : cases) EXPECT_EQ(rinex3_strength_digit(c.db_hz), c.digit) << c.db_hz;
}

TEST(RinexEpoch, FlagsDecideWhatFollows) {
    struct Case {
        std::string line;
        rinex3_record_kind kind;
        const char* fields;  // date, time, flag, count; "-" for no date
    };
    using k = rinex3_record_kind;
    const Case cases[] = {
        {"> 2021 12 21 00 00  0.0000000  0 38", k::epoch, "2021-12-21 00:00 0.0000000 f0 n38"},
        // Phone log: fraction of a second, trailing blanks, CR LF.
        {"> 2023 11 07 23 43 15.0002755  0 19                      \r", k::epoch,
         "2023-11-07 23:43 15.0002755 f0 n19"},
        // SPTU: one-digit month and day, receiver clock offset after the count.
        {"> 2016  1 15  1 22 30.0000000  0 22        .000000000000", k::epoch,
         "2016-01-15 01:22 30.0000000 f0 n22"},
        // Flag 1 (power failure before the epoch) is still an epoch.
        {"> 2014 10 31 20 28 15.0000000  1  2", k::epoch, "2014-10-31 20:28 15.0000000 f1 n2"},
        // Flags 2 to 5: special records, with or without a date.
        {"> 2021 12 21 00 00 30.0000000  2  3", k::special_records,
         "2021-12-21 00:00 30.0000000 f2 n3"},
        {">                              2  1", k::special_records, "- f2 n1"},
        {"> 2021 12 21 00 00 30.0000000  3  7", k::special_records,
         "2021-12-21 00:00 30.0000000 f3 n7"},
        {">                              3  2", k::special_records, "- f3 n2"},
        {">                              4 12", k::special_records, "- f4 n12"},
        {"> 2021 12 21 00 00 30.0000000  5  0", k::special_records,
         "2021-12-21 00:00 30.0000000 f5 n0"},
        // Flag 6: cycle-slip records, which need their date.
        {"> 2021 12 21 00 00 30.0000000  6  4", k::cycle_slips,
         "2021-12-21 00:00 30.0000000 f6 n4"},
    };
    for (const Case& c : cases) {
        rinex3_epoch e;
        ASSERT_EQ(rinex3_read_epoch_line(c.line, &e), c.kind) << c.line;
        char fields[80];
        if (e.has_time) {
            std::snprintf(fields, sizeof fields, "%04d-%02d-%02d %02d:%02d %.7f f%d n%d", e.year,
                          e.month, e.day, e.hour, e.minute, e.seconds, e.flag, e.count);
        } else {
            std::snprintf(fields, sizeof fields, "- f%d n%d", e.flag, e.count);
        }
        EXPECT_STREQ(fields, c.fields) << c.line;
    }
    rinex3_epoch e;
    ASSERT_EQ(rinex3_read_epoch_line(cases[1].line, &e), k::epoch);
    EXPECT_EQ(e.seconds, 15.0002755);  // the exact double of the written seconds
}

TEST(RinexEpoch, MalformedLinesAreNoEpochs) {
    rinex3_epoch e;
    e.count = 77;
    const char* const lines[] = {
        "",
        ">",
        "> 2021 12 21 00 00  0.0000000  0",     // no count
        "  2021 12 21 00 00  0.0000000  0 38",  // no '>'
        " 21 12 21  0  0  0.0000000  0 38",     // a RINEX 2 epoch line
        "> 2021 12 21 00 00  0.0000000  7 38",  // no such flag
        "> 2021 13 21 00 00  0.0000000  0 38",  // month 13
        "> 2021 12 32 00 00  0.0000000  0 38",  // day 32
        "> 2021 12 21 24 00  0.0000000  0 38",  // hour 24
        "> 2021 12 21 00 60  0.0000000  0 38",  // minute 60
        "> 2021 12 21 00 00 61.0000000  0 38",  // second 61
        "> 2021 12 21 00 00  x.0000000  0 38",  // seconds not a number
        "> 2021 12 21 00    0.0000000  0 38",   // minute missing
        "> 2021-12-21 00 00  0.0000000  0 38",  // not in its columns
        "> 2021 12 21 00 00  0.0000000  0 3x",  // count not a number
        "> 2021 12 21 00 00  0.0000000  0-38",  // negative count
        ">                              0 38",  // an epoch needs its date
        ">                              6  4",  // so does a cycle-slip record
        "G01  24600158.420   129274705.78406        38.300    24600162.420",
    };
    for (const char* line : lines)
        EXPECT_EQ(rinex3_read_epoch_line(line, &e), rinex3_record_kind::not_epoch) << line;
    EXPECT_EQ(e.count, 77);  // left as it was
}

TEST(RinexSatLine, SlotsFromTheSystemsList) {
    const rinex3_plan plan =
        plan_of({acor_types[0], acor_types[1], acor_types[2], acor_types[3], acor_types[4]});
    // ACOR G01: C1C, L1C, C2W, L2W (C2W and L2W preferred to C2S and L2S).
    SatLine s = read_sat(acor_g01, plan);
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.satellite, "G01");
    EXPECT_EQ(s.slots[OBS_C1], "24600158.420| | ");
    EXPECT_EQ(s.slots[OBS_P1], "0.000|~|~");  // no P1 type for GPS in this file
    EXPECT_EQ(s.slots[OBS_L1], "129274705.784|0|6");
    EXPECT_EQ(s.slots[OBS_P2], "24600162.100| | ");
    EXPECT_EQ(s.slots[OBS_L2], "100733552.498|0|6");

    // The S values changed to 11.000 (S1C) and 54.000 (S2W): the digits
    // written after the phases stay.
    const std::size_t s1c = 3 + 16 * 2, s2w = 3 + 16 * 8;
    std::string changed = acor_g01;
    ASSERT_EQ(changed.substr(s1c, 14), "        38.300");
    ASSERT_EQ(changed.substr(s2w, 14), "        37.150");
    changed.replace(s1c, 14, "        11.000");
    changed.replace(s2w, 14, "        54.000");
    s = read_sat(changed, plan);
    EXPECT_EQ(s.slots[OBS_L1], "129274705.784|0|6");
    EXPECT_EQ(s.slots[OBS_L2], "100733552.498|0|6");

    // With the phase digits blanked, the S values give them.
    const std::size_t l1c_digit = 3 + 16 * 1 + 15, l2w_digit = 3 + 16 * 7 + 15;
    ASSERT_EQ(changed[l1c_digit], '6');
    ASSERT_EQ(changed[l2w_digit], '6');
    changed[l1c_digit] = ' ';
    changed[l2w_digit] = ' ';
    s = read_sat(changed, plan);
    EXPECT_EQ(s.slots[OBS_L1], "129274705.784|0|1");
    EXPECT_EQ(s.slots[OBS_L2], "100733552.498|0|9");
    std::string blanked = acor_g01;
    blanked[l1c_digit] = ' ';
    blanked[l2w_digit] = ' ';
    s = read_sat(blanked, plan);
    EXPECT_EQ(s.slots[OBS_L1], "129274705.784|0|6");  // 38.3 dB-Hz
    EXPECT_EQ(s.slots[OBS_L2], "100733552.498|0|6");  // 37.15 dB-Hz

    // A blank digit and an S value of 0, or an S field cut off: stays blank.
    blanked.replace(s1c, 14, "         0.000");
    s = read_sat(blanked.substr(0, s2w), plan);
    EXPECT_EQ(s.slots[OBS_L1], "129274705.784|0| ");
    EXPECT_EQ(s.slots[OBS_L2], "100733552.498|0| ");

    // Exactness of the value conversion, checked against the compiler's.
    char satellite[4];
    obs_value obs[OBS_SLOTS];
    ASSERT_TRUE(rinex3_read_sat_line(acor_g01, plan, satellite, obs));
    EXPECT_EQ(double{obs[OBS_L1].value}, 129274705.784);
    EXPECT_EQ(double{obs[OBS_C1].value}, 24600158.420);
}

TEST(RinexSatLine, EverySystemOfAMixedFile) {
    // TWTF (CR LF): BeiDou, QZSS and SBAS lines with their lists.
    const rinex3_plan twtf = plan_of({
        "C    8 C2I L2I D2I S2I C7I L7I D7I S7I                      SYS / # / OBS TYPES\r",
        "J   12 C1C L1C D1C S1C C2L L2L D2L S2L C5Q L5Q D5Q S5Q      SYS / # / OBS TYPES\r",
        "S    4 C1C L1C D1C S1C                                      SYS / # / OBS TYPES\r",
    });
    SatLine s = read_sat(
        "C01  36675141.169 7 190977074.18307        35.617 7        45.500    36675141.235 7 "
        "147675632.37707        27.540 7        46.250\r",
        twtf);
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.satellite, "C01");
    EXPECT_EQ(s.slots[OBS_C1], "36675141.169| |7");
    EXPECT_EQ(s.slots[OBS_L1], "190977074.183|0|7");
    EXPECT_EQ(s.slots[OBS_P2], "36675141.235| |7");
    EXPECT_EQ(s.slots[OBS_L2], "147675632.377|0|7");

    s = read_sat(
        "J02  36263624.214 6 190566695.81006      -365.635 6        40.500    36263629.338 7 "
        "148493586.57307      -284.863 7        42.250\r",
        twtf);
    EXPECT_EQ(s.slots[OBS_C1], "36263624.214| |6");
    EXPECT_EQ(s.slots[OBS_L1], "190566695.810|0|6");
    EXPECT_EQ(s.slots[OBS_P2], "36263629.338| |7");
    EXPECT_EQ(s.slots[OBS_L2], "148493586.573|0|7");

    // SBAS: only the first band in this file; the other slots are absent.
    s = read_sat("S22  36547884.514 7 192060530.70607         2.245 7        43.750\r", twtf);
    EXPECT_EQ(s.slots[OBS_C1], "36547884.514| |7");
    EXPECT_EQ(s.slots[OBS_L1], "192060530.706|0|7");
    EXPECT_EQ(s.slots[OBS_P2], "0.000|~|~");
    EXPECT_EQ(s.slots[OBS_L2], "0.000|~|~");

    // A GPS satellite in a file without a GPS list: no slots.
    s = read_sat(acor_g01, twtf);
    ASSERT_TRUE(s.ok);
    for (const std::string& slot : s.slots) EXPECT_EQ(slot, "0.000|~|~");

    // NRMG SBAS: blank fields inside the line and the S5I field cut off.
    const rinex3_plan nrmg = plan_of({
        "S    8 C1C C5I D1C D5I L1C L5I S1C S5I                      SYS / # / OBS TYPES",
    });
    s = read_sat(
        "S29  36797960.438 7                         3.922 7                 193374600.074 7     "
        "                   41.500",
        nrmg);
    EXPECT_EQ(s.slots[OBS_C1], "36797960.438| |7");
    EXPECT_EQ(s.slots[OBS_L1], "193374600.074| |7");
    EXPECT_EQ(s.slots[OBS_P2], "0.000| | ");
    EXPECT_EQ(s.slots[OBS_L2], "0.000| | ");

    // CCJ2 Galileo, SPTU GLONASS (written "R 2").
    const rinex3_plan ccj = plan_of({
        "E    8 C1X C5X D1X D5X L1X L5X S1X S5X                      SYS / # / OBS TYPES ",
        "R   12 C1C L1C S1C C1P L1P S1P C2C L2C S2C C2P L2P S2P      SYS / # / OBS TYPES",
    });
    s = read_sat(
        "E01  24700777.625    24700783.070       -2117.145       -1580.984   129803476.624 8  "
        "96931196.605 8        49.100          51.000",
        ccj);
    EXPECT_EQ(s.slots[OBS_C1], "24700777.625| | ");
    EXPECT_EQ(s.slots[OBS_P1], "0.000|~|~");
    EXPECT_EQ(s.slots[OBS_L1], "129803476.624| |8");
    EXPECT_EQ(s.slots[OBS_P2], "24700783.070| | ");
    EXPECT_EQ(s.slots[OBS_L2], "96931196.605| |8");
    s = read_sat(
        "R 2  20587385.87508 109858286.87408        48.400    20587385.02307 109858320.87807     "
        "   47.300    20587390.51607  85445403.76707        45.700    20587389.90607  "
        "85445397.76407        45.100",
        ccj);
    EXPECT_EQ(s.satellite, "R02");
    EXPECT_EQ(s.slots[OBS_C1], "20587385.875|0|8");
    EXPECT_EQ(s.slots[OBS_P1], "20587385.023|0|7");
    EXPECT_EQ(s.slots[OBS_L1], "109858286.874|0|8");
    EXPECT_EQ(s.slots[OBS_P2], "20587389.906|0|7");
    EXPECT_EQ(s.slots[OBS_L2], "85445397.764|0|7");
}

TEST(RinexSatLine, CutLinesAndSatelliteIdentifiers) {
    // gnsstk sample: "G 7" and the GLONASS line that ends after its S field.
    const rinex3_plan sample = plan_of({
        "G    7 L1C L2P C1P C2P C1C S1P S2P                          SYS / # / OBS TYPES",
        "R    3 L1C C1C S1C                                          SYS / # / OBS TYPES",
    });
    SatLine s = read_sat(
        "G 7 133174968.81808 103772690.97708  25342359.815 9  25342359.952 9  25342359.370 7      "
        "  65.000          45.000",
        sample);
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.satellite, "G07");
    EXPECT_EQ(s.slots[OBS_C1], "25342359.370| |7");
    EXPECT_EQ(s.slots[OBS_P1], "25342359.815| |9");
    EXPECT_EQ(s.slots[OBS_L1], "133174968.818|0|8");
    EXPECT_EQ(s.slots[OBS_P2], "25342359.952| |9");
    EXPECT_EQ(s.slots[OBS_L2], "103772690.977|0|8");

    s = read_sat("R19 129262004.57708  24597748.629 7        47.000", sample);
    EXPECT_EQ(s.satellite, "R19");
    EXPECT_EQ(s.slots[OBS_C1], "24597748.629| |7");
    EXPECT_EQ(s.slots[OBS_L1], "129262004.577|0|8");

    // A blank system letter is GPS (modified from the line above).
    s = read_sat(" 07 133174968.81808 103772690.97708  25342359.815 9", sample);
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.satellite, "G07");
    EXPECT_EQ(s.slots[OBS_L1], "133174968.818|0|8");
    EXPECT_EQ(s.slots[OBS_L2], "103772690.977|0|8");
    EXPECT_EQ(s.slots[OBS_P1], "25342359.815| |9");
    EXPECT_EQ(s.slots[OBS_P2], "0.000| | ");  // cut: value 0, blank flags
    EXPECT_EQ(s.slots[OBS_C1], "0.000| | ");

    // Cut inside fields: the value without flags, then a partial value.
    s = read_sat("G 7 133174968.818", sample);
    EXPECT_EQ(s.slots[OBS_L1], "133174968.818| | ");
    s = read_sat("G 7 133174968.81808 10377", sample);
    EXPECT_EQ(s.slots[OBS_L2], "10377.000| | ");
    // Exponents are read; text that is no finite number gives 0.
    s = read_sat("G 7    1.3317e+08 8     -infinity08           nan 7", sample);
    EXPECT_EQ(s.slots[OBS_L1], "133170000.000| |8");
    EXPECT_EQ(s.slots[OBS_L2], "0.000|0|8");
    EXPECT_EQ(s.slots[OBS_P1], "0.000| |7");

    // gnsstk GPS file: blank fields between values, trailing blanks.
    const rinex3_plan gps = plan_of({
        "G    8 C1C C2W C2X C5X L1C L2W L2X L5X                      SYS / # / OBS TYPES ",
    });
    s = read_sat(
        "G05  23448820.047 5                                                 123224404.83915      "
        "                          ",
        gps);
    EXPECT_EQ(s.slots[OBS_C1], "23448820.047| |5");
    EXPECT_EQ(s.slots[OBS_P2], "0.000| | ");
    EXPECT_EQ(s.slots[OBS_L1], "123224404.839|1|5");
    EXPECT_EQ(s.slots[OBS_L2], "0.000| | ");

    // Not satellite lines: nothing is written.
    for (const char* line : {"", "G0", "G0x 123.000", "g05  23448820.047 5", "GXX  1.000",
                             "> 2014 10 31 20 28  0.0000000  0  2", "*05  1.000"}) {
        char satellite[4] = "???";
        obs_value obs[OBS_SLOTS] = {};
        obs[0].value = 42;
        EXPECT_FALSE(rinex3_read_sat_line(line, gps, satellite, obs)) << line;
        EXPECT_STREQ(satellite, "???");
        EXPECT_EQ(double{obs[0].value}, 42);
    }
}
