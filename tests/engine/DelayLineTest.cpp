#include "engine/DelayLine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using corvella::vastora::DelayLine;
using corvella::vastora::nextPow2;

TEST(DelayLine, NextPow2RoundsUpToPowersOfTwo)
{
    const std::pair<std::size_t, std::size_t> cases[] = {{0, 1}, {1, 1}, {2, 2}, {3, 4}, {8, 8}, {9, 16}, {65, 128}};
    for (auto [n, expected] : cases)
        EXPECT_EQ(nextPow2(n), expected) << "n=" << n;
    // Requests beyond the top bit stop there instead of wrapping to zero and looping.
    EXPECT_EQ(nextPow2(std::numeric_limits<std::size_t>::max()), std::size_t{1} << 63);
}

TEST(DelayLine, AllocateSizesForTheLongestDelayPlusTwo)
{
    const std::pair<std::size_t, std::size_t> cases[] = {{0, 8}, {6, 8}, {7, 16}, {14, 16}, {15, 32}};
    for (auto [maxDelay, size] : cases)
    {
        DelayLine line;
        line.allocate(maxDelay);
        EXPECT_EQ(line.buf.size(), size) << "maxDelay=" << maxDelay;
        EXPECT_EQ(line.mask, size - 1);
        EXPECT_EQ(line.pos, 0u);
    }
}

TEST(DelayLine, ReadsIntegerDelaysExactlyAndInterpolatesBetween)
{
    DelayLine line;
    line.allocate(6);
    line.write(4.0f);
    line.write(8.0f);
    EXPECT_EQ(line.read(1.0), 8.0f);
    EXPECT_EQ(line.read(2.0), 4.0f);
    EXPECT_EQ(line.read(1.25), 7.0f);
    EXPECT_EQ(line.read(1.5), 6.0f);
    EXPECT_EQ(line.read(3.0), 0.0f);
}

TEST(DelayLine, ClampsDelaysIntoTheReadableRange)
{
    DelayLine line;
    line.allocate(6); // 8 samples: delays 1..6 are readable
    for (int i = 1; i <= 8; ++i)
        line.write(static_cast<float>(i)); // delay d now reads 9 - d
    EXPECT_EQ(line.read(6.0), 3.0f);
    EXPECT_EQ(line.read(7.0), 3.0f);
    EXPECT_EQ(line.read(1e9), 3.0f);
    EXPECT_EQ(line.read(std::numeric_limits<double>::infinity()), 3.0f);
    EXPECT_EQ(line.read(0.0), 8.0f);
    EXPECT_EQ(line.read(-5.0), 8.0f);
    // A NaN delay must not reach the index conversion.
    EXPECT_EQ(line.read(std::nan("")), 8.0f);
}

TEST(DelayLine, PositionWrapsAndReallocationStartsClean)
{
    DelayLine line;
    line.allocate(6);
    for (int i = 0; i < 8; ++i)
        line.write(1.0f);
    EXPECT_EQ(line.pos, 0u);
    line.write(2.0f);
    line.allocate(6);
    EXPECT_EQ(line.pos, 0u);
    for (float s : line.buf)
        EXPECT_EQ(s, 0.0f);
}
