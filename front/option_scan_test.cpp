#include "front/option_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
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

// A command line with the program name in front, as main receives it.
struct CommandLine {
    std::vector<std::string> words;
    std::vector<char*> argv;
    CommandLine(std::vector<std::string> args, int verbose, char option_char)
        : words(std::move(args)) {
        words.insert(words.begin(), "lumerak");
        for (auto& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        opt_init(1, verbose, option_char);
        opt_offset = 0;
    }
    int argc() const { return static_cast<int>(words.size()); }
    char next(char** value) { return opt_scan(argc(), argv.data(), options, value); }
};

// Scans `args` to the end mark, or through the first '?'.
std::vector<Step> scan(std::vector<std::string> args, int verbose = 0) {
    CommandLine line(std::move(args), verbose, '-');
    std::vector<Step> steps;
    for (;;) {
        char* value = nullptr;
        const char letter = line.next(&value);
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
        std::fprintf(stderr, "%zu %c [%s]", steps.size(), steps[0].letter, steps[0].value.c_str());
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
    CommandLine line({"-gx", ""}, 0, '-');
    char* value = nullptr;
    EXPECT_EQ(line.next(&value), 'g');
    EXPECT_EQ(line.next(&value), '?');
    EXPECT_EQ(line.next(&value), '!');
    EXPECT_STREQ(value, "");
    EXPECT_EQ(line.next(&value), opt_end);
    EXPECT_EQ(value, nullptr);
}

TEST(OptScan, OptionCharacterIsConfigurable) {
    CommandLine line({"/g", "-p", "/rname"}, 0, '/');
    char* value = nullptr;
    EXPECT_EQ(line.next(&value), 'g');
    EXPECT_EQ(line.next(&value), '!');
    EXPECT_STREQ(value, "-p");
    EXPECT_EQ(line.next(&value), 'r');
    EXPECT_STREQ(value, "name");
    opt_init(1, 1, '-');
}
