// The main function of every test program. Time values are local time, so
// every test runs in one fixed time zone, however the program is started
// (by ctest or by hand); a test that needs another zone sets it itself.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

int main(int argc, char** argv) {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
