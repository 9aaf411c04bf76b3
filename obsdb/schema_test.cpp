// Keys built from record numbers keep the numeric order past eight digits;
// satellite occupations are keyed by occupation, then satellite.
#include "obsdb/schema.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

std::string key_of(long number) {
    char key[record_key_size];
    record_number_key(key, number);
    return key;
}

TEST(RecordNumberKey, EightDigitsUpToTheLimitThenAColonAndTen) {
    EXPECT_EQ(key_of(72), "00000072");
    EXPECT_EQ(key_of(99999999), "99999999");
    EXPECT_EQ(key_of(100000000), ":0100000000");
    EXPECT_EQ(key_of(INT32_MAX), ":2147483647");
    EXPECT_LT(key_of(INT32_MAX).size(), static_cast<std::size_t>(record_key_size));
}

TEST(RecordNumberKey, TextOrderIsNumericOrderAcrossTheLimit) {
    const std::vector<long> numbers = {72,        9999936,    99999936,   100000008,
                                       999999936, 1000000008, 2147483592, INT32_MAX};
    for (std::size_t i = 1; i < numbers.size(); ++i)
        EXPECT_LT(key_of(numbers[i - 1]), key_of(numbers[i])) << numbers[i];
}

TEST(SatoccKey, OccupationThenSatelliteSevenDigitsEach) {
    char key[satocc_key_size];
    satocc_key(key, 216, 97);
    EXPECT_STREQ(key, "00002160000097");
    satocc_key(key, INT32_MAX, INT32_MAX);
    EXPECT_STREQ(key, "21474836472147483647");
    // The prefix the plot searches with is the beginning of every key of
    // the occupation.
    satocc_key_prefix(key, 216);
    EXPECT_STREQ(key, "0000216");
}

}  // namespace
