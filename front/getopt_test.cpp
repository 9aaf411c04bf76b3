#include "front/getopt.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/testkit/testkit.h"

using testkit::run_in_child;

namespace {

const char options[] = "Dp0gr:n:t:is:a:cd:b:e:";

// One result of opt_scan: the letter and its value ("-" for none).
struct Step {
    char letter;
    std::string value;
    bool operator==(const Step&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Step& s) {
    return out << "{'" << s.letter << "', " << s.value << "}";
}

// Scans `args` (program name added) to the end mark, or through the first '?'.
std::vector<Step> scan(std::vector<std::string> args, int verbose = 0) {
    args.insert(args.begin(), "lumerak");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    opt_init(1, verbose, '-');
    opt_offset = 0;
    std::vector<Step> steps;
    for (;;) {
        char* value = nullptr;
        const char letter = opt_scan(static_cast<int>(args.size()), argv.data(), options, &value);
        if (letter == opt_end) break;
        steps.push_back({letter, value ? value : "-"});
        if (letter == '?') break;
    }
    return steps;
}

}  // namespace

TEST(OptScan, GroupedLettersAndValueLetterClosingAGroup) {
    EXPECT_EQ(scan({"-gp"}), (std::vector<Step>{{'g', "-"}, {'p', "-"}}));
    EXPECT_EQ(scan({"-gprname", "-i"}),
              (std::vector<Step>{{'g', "-"}, {'p', "-"}, {'r', "name"}, {'i', "-"}}));
    EXPECT_EQ(scan({"-0c", "-b03.10.00,05:00:30"}),
              (std::vector<Step>{{'0', "-"}, {'c', "-"}, {'b', "03.10.00,05:00:30"}}));
}

TEST(OptScan, ValueIsNeverTakenFromTheNextArgument) {
    EXPECT_EQ(scan({"-r", "file", "-g"}),
              (std::vector<Step>{{'r', "-"}, {'!', "file"}, {'g', "-"}}));
    EXPECT_EQ(scan({"-rfile", "-s", "list"}),
              (std::vector<Step>{{'r', "file"}, {'s', "-"}, {'!', "list"}}));
}

TEST(OptScan, WordsWithoutMinusAreHandedBackAndScanningGoesOn) {
    EXPECT_EQ(scan({"alpha", "-p", "beta", ""}),
              (std::vector<Step>{{'!', "alpha"}, {'p', "-"}, {'!', "beta"}, {'!', ""}}));
}

TEST(OptScan, DoubleMinusEndsTheScan) {
    EXPECT_EQ(scan({"-g", "--", "-p", "-x"}), (std::vector<Step>{{'g', "-"}}));
    // Inside a group the second minus also ends it.
    EXPECT_EQ(scan({"-g-p"}), (std::vector<Step>{{'g', "-"}}));
}

TEST(OptScan, ColonsOfTheOptionStringAreLetters) {
    EXPECT_EQ(scan({"-:", "-g"}), (std::vector<Step>{{':', "-"}, {'g', "-"}}));
}

TEST(OptScan, UnknownLettersAreReportedOnStandardOutput) {
    // A lone minus is the letter blank.
    auto r = run_in_child([] {
        auto steps = scan({"-"}, 1);
        std::fprintf(stderr, "%zu %c [%s]", steps.size(), steps[0].letter,
                     steps[0].value.c_str());
    });
    EXPECT_EQ(r.out, "illegal option flag:  \n");
    EXPECT_EQ(r.err, "1 ? []");

    // In a group the known letters come first; the value points at the bad letter.
    r = run_in_child([] {
        auto steps = scan({"-gxp"}, 1);
        std::fprintf(stderr, "%zu %c %c [%s]", steps.size(), steps[0].letter, steps[1].letter,
                     steps[1].value.c_str());
    });
    EXPECT_EQ(r.out, "illegal option flag: x\n");
    EXPECT_EQ(r.err, "2 g ? [xp]");

    // With reports off nothing is printed.
    r = run_in_child([] { scan({"-x"}, 0); });
    EXPECT_EQ(r.out, "");
}

TEST(OptScan, StateAfterScanAndAfterAnUnknownLetter) {
    EXPECT_EQ(scan({"-gp", "-rx"}).size(), 3u);
    EXPECT_EQ(opt_next, 3);
    EXPECT_EQ(opt_offset, 0);

    // Scanning on after '?' starts the next argument at its first letter.
    std::vector<std::string> args = {"lumerak", "-gx", ""};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    opt_init(1, 0, '-');
    opt_offset = 0;
    char* value = nullptr;
    EXPECT_EQ(opt_scan(3, argv.data(), options, &value), 'g');
    EXPECT_EQ(opt_scan(3, argv.data(), options, &value), '?');
    EXPECT_EQ(opt_scan(3, argv.data(), options, &value), '!');
    EXPECT_STREQ(value, "");
    EXPECT_EQ(opt_scan(3, argv.data(), options, &value), opt_end);
    EXPECT_EQ(value, nullptr);
}

TEST(OptScan, OptionCharacterIsConfigurable) {
    std::vector<std::string> args = {"lumerak", "/g", "-p", "/rname"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    opt_init(1, 0, '/');
    opt_offset = 0;
    char* value = nullptr;
    EXPECT_EQ(opt_scan(4, argv.data(), options, &value), 'g');
    EXPECT_EQ(opt_scan(4, argv.data(), options, &value), '!');
    EXPECT_STREQ(value, "-p");
    EXPECT_EQ(opt_scan(4, argv.data(), options, &value), 'r');
    EXPECT_STREQ(value, "name");
    opt_init(1, 1, '-');
}
