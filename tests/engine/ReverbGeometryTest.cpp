#include "EngineTestUtil.h"
#include "ReverbEngineProbe.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace corvella::vastora;
using namespace corvella::vastora::testing;

namespace {

// Runs one empty block so the engine brings its geometry up to date.
ReverbEngine engineWith(double room, double spread, double reverbTime = 1.5, double rate = 44100.0)
{
    ReverbEngine e;
    e.prepare(rate, 64);
    e.setParameter(6, room);
    e.setParameter(7, spread);
    e.setParameter(3, reverbTime);
    e.process(nullptr, nullptr, nullptr, nullptr, 0);
    return e;
}

// Late-line lengths in samples at 44.1 kHz of the smallest room, room 4 and the largest room,
// written out so that an edit of the engine's tables shows here.
const int kSmallestRoom[16] = {1317, 1553, 1621, 1741, 1847, 2153, 2207, 2617,
                               3049, 3221, 3599, 3701, 3911, 4159, 4517, 4817};
const int kRoom4[16] = {1847, 2089, 2221, 2617, 2819, 3067, 3599, 3917, 4339, 4703, 4933, 5297, 5641, 6637, 6521, 7351};
const int kLargestRoom[16] = {4339, 4703, 4933, 5297, 5641,  5987,  6521,  6917,
                              7351, 7949, 8629, 9337, 10243, 11093, 12071, 14011};
// Early taps of the left line and the right line's extra delay, samples at 44.1 kHz.
const int kTapTimes[16] = {23, 501, 1687, 1489, 2385, 2085, 2646, 3171, 3687, 3733, 4094, 3995, 4257, 4343, 4434, 4647};
const int kTapOffsetsB[16] = {0, 7, 13, 5, 11, 17, 23, 29, 19, 31, 37, 41, 43, 47, 0, 0};

} // namespace

TEST(ReverbGeometry, RoomSizeInterpolatesBetweenTheLengthTables)
{
    for (auto [room, table] : {std::pair{0, kSmallestRoom}, {4, kRoom4}, {9, kLargestRoom}})
    {
        ReverbEngine e = engineWith(room, 0);
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(ReverbEngineProbe{e}.lateLength(i), table[i]) << "room " << room << " line " << i;
    }
    ReverbEngine room2 = engineWith(2, 0);
    EXPECT_DOUBLE_EQ(ReverbEngineProbe{room2}.lateLength(0), (1317 + 1847) / 2.0);
    ReverbEngine room7 = engineWith(7, 0);
    EXPECT_DOUBLE_EQ(ReverbEngineProbe{room7}.lateLength(0), 1847 + 0.6 * (4339 - 1847));

    // Lengths scale with the sample rate.
    ReverbEngine at96 = engineWith(9, 0, 1.5, 96000.0);
    EXPECT_DOUBLE_EQ(ReverbEngineProbe{at96}.lateLength(15), 14011 * (96000.0 / 44100.0));
}

TEST(ReverbGeometry, FeedbackGainsGiveSixtyDecibelsInTheReverbTime)
{
    ReverbEngine e = engineWith(0, 0, 1.5);
    ReverbEngineProbe in{e};
    EXPECT_NEAR(in.feedbackGain(0), 0.872, 5e-4);
    EXPECT_NEAR(in.feedbackGain(15), 0.605, 5e-4);
    for (int i = 0; i < 16; ++i)
    {
        // gain^(reverbTime * rate / length) must be -60 dB
        const double passes = 1.5 * 44100.0 / in.lateLength(i);
        EXPECT_NEAR(20.0 * std::log10(std::pow(in.feedbackGain(i), passes)), -60.0, 1e-3);
    }

    ReverbEngine veryShort = engineWith(0, 0, 0.01);
    ReverbEngine floorTime = engineWith(0, 0, 0.05);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(ReverbEngineProbe{veryShort}.feedbackGain(i), ReverbEngineProbe{floorTime}.feedbackGain(i));

    EXPECT_EQ(ReverbEngineProbe{engineWith(0, 0, 500.0)}.feedbackGain(0), 0.9995f);
    const float huge = ReverbEngineProbe{engineWith(9, 0, 1000.0)}.feedbackGain(0);
    EXPECT_NEAR(huge, 0.999, 5e-4);
    EXPECT_LT(huge, 0.9995f);
}

TEST(ReverbGeometry, OutOfRangeListIndicesClampToTheEnds)
{
    for (auto [room, expected] : {std::pair{12.0, 9.0}, {15.0, 9.0}, {-3.0, 0.0}})
    {
        ReverbEngine e = engineWith(room, 14);
        ReverbEngineProbe in{e};
        EXPECT_EQ(in.cachedRoom(), expected);
        EXPECT_EQ(in.cachedSpread(), 10);
        EXPECT_EQ(in.lateLength(0), expected == 9.0 ? 4339 : 1317);
    }
}

TEST(ReverbGeometry, SpreadScalesTheTapPatternAroundItsCentre)
{
    ReverbEngine unscaled = engineWith(9, 0);
    ReverbEngineProbe u{unscaled};
    for (int j = 0; j < 16; ++j)
    {
        EXPECT_EQ(u.tapPosA(j), kTapTimes[j]);
        EXPECT_EQ(u.tapPosB(j), kTapTimes[j] + kTapOffsetsB[j]);
    }
    EXPECT_EQ(u.tapPosB(1), 508.0);

    ReverbEngine s4 = engineWith(9, 4);
    EXPECT_DOUBLE_EQ(ReverbEngineProbe{s4}.tapPosA(0), (23 - 2948.5625) * 60.0 / 105.0 + 2948.5625);

    // The widest spreads push tap 0 before the start of the line: it is held at 8 samples.
    for (int spread : {9, 10})
    {
        ReverbEngine e = engineWith(9, spread);
        EXPECT_EQ(ReverbEngineProbe{e}.tapPosA(0), 8.0) << spread;
        EXPECT_EQ(ReverbEngineProbe{e}.tapPosB(0), 8.0) << spread;
    }
    for (int spread = 1; spread <= 8; ++spread)
    {
        ReverbEngine e = engineWith(9, spread);
        const double scale = (spread * 10.0 + 20.0) / 105.0;
        for (int j = 0; j < 16; ++j)
            EXPECT_DOUBLE_EQ(ReverbEngineProbe{e}.tapPosA(j), (kTapTimes[j] - 2948.5625) * scale + 2948.5625)
                << "spread " << spread << " tap " << j;
    }
}

TEST(ReverbGeometry, TapGainsFallExponentiallyAndSumToFour)
{
    const float expected[16] = {0.520f, 0.619f, 0.516f, 0.430f, 0.359f, 0.299f, 0.249f, 0.208f,
                                0.173f, 0.145f, 0.121f, 0.100f, 0.084f, 0.070f, 0.058f, 0.049f};
    ReverbEngine e = engineWith(3, 3);
    double sum = 0.0;
    for (int j = 0; j < 16; ++j)
    {
        EXPECT_NEAR(ReverbEngineProbe{e}.tapGain(j), expected[j], 1e-3) << j;
        sum += ReverbEngineProbe{e}.tapGain(j);
    }
    EXPECT_NEAR(sum, 4.0, 1e-5);
}
