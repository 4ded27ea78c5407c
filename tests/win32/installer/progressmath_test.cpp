#include <gtest/gtest.h>

#include <climits>

#include "comm/httplibdownload.h"
#include "installer/progressmath.h"

using vorn::ProgressPercent;

TEST(ProgressMath, SmallPackagesAsBefore) {
    EXPECT_EQ(WholeMegabytes(89128960u), 85);
    EXPECT_EQ(ProgressPercent(44564480u, 89128960u), 50);
    EXPECT_EQ(MegabytesDone(85, 50), 42);
    EXPECT_EQ(WholeMegabytes(1048575u), 0);
    EXPECT_EQ(ProgressPercent(0, 0), 0);
    EXPECT_EQ(ProgressPercent(3, 0), 300);  // a total of 0 counts as 1
    EXPECT_EQ(ProgressPercent(99, 100), 99);
    EXPECT_EQ(ProgressPercent(100, 100), 100);
    EXPECT_EQ(MegabytesDone(85, 100), 85);
    EXPECT_EQ(MegabytesDone(0, 100), 0);
}

TEST(ProgressMath, TheCounterFollowsTheUnroundedShare) {
    // 3 MiB at 33.4 %: one whole MiB done, though the bar's 33 % of 3 is less.
    const uint64_t total = 3u << 20;
    const uint64_t received = total * 334 / 1000 + 1;
    const float share = vorn::ProgressShare(received, total);
    EXPECT_EQ(vorn::WholePercent(share), 33);
    EXPECT_EQ(MegabytesDone(3, share), 1);
    EXPECT_EQ(MegabytesDone(85, vorn::ProgressShare(44564480u, 89128960u)), 42);
}

TEST(ProgressMath, PackagesOfTwoGibibytesAndMore) {
    const uint64_t gib = uint64_t(1) << 30;
    // 32-bit figures would turn negative here, or wrap to small numbers
    EXPECT_EQ(WholeMegabytes(2 * gib), 2048);
    EXPECT_EQ(WholeMegabytes(6 * gib + 5), 6144);
    EXPECT_EQ(ProgressPercent(3 * gib, 6 * gib), 50);
    EXPECT_EQ(ProgressPercent(5 * gib, 5 * gib), 100);
    EXPECT_EQ(ProgressPercent(gib / 100, 5 * gib), 0);
    EXPECT_EQ(ProgressPercent(4 * gib + 1, 8 * gib), 50);
    // a total of 0 counts as 1: a huge count saturates instead of overflowing
    EXPECT_EQ(ProgressPercent(6 * gib, 0), INT_MAX);
    EXPECT_EQ(MegabytesDone(WholeMegabytes(6 * gib), 50), 3072);
}
