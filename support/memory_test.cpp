#include "support/memory.h"

#include <gtest/gtest.h>

#include "support/error.h"
#include "tests/testkit/testkit.h"

using testkit::run_in_child;

TEST(MemCalloc, ExactLimitIsZeroedAndUsable) {
    auto* block = static_cast<unsigned char*>(mem_calloc(65536, 1));
    ASSERT_NE(block, nullptr);
    for (std::size_t i = 0; i < 65536; ++i) ASSERT_EQ(block[i], 0) << i;
    block[65535] = 1;
    mem_free(block);
    mem_free(nullptr);
}

TEST(MemCalloc, OneByteOverLimitEndsWithMessage2WhicheverFactorIsLarger) {
    for (auto [count, size] : {std::pair<std::size_t, std::size_t>{65537, 1},
                               {1, 65537},
                               {3, 21846},
                               {21846, 3},
                               {SIZE_MAX, 2}}) {
        auto r = run_in_child([count = count, size = size] {
            report_stream = stderr;
            error_line = -1;
            mem_calloc(count, size);
        });
        EXPECT_EQ(r.status, 2) << count << " x " << size;
        EXPECT_EQ(r.err, "E0002: max. 64KB pro Zeiger.  \n");
    }
}

TEST(MemCalloc, ZeroBytesStillGivesABlock) {
    void* block = mem_calloc(0, 16);
    EXPECT_NE(block, nullptr);
    mem_free(block);
}
