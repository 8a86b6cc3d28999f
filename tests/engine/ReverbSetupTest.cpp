#include "EngineTestUtil.h"
#include "ReverbEngineProbe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

using namespace corvella::vastora;
using namespace corvella::vastora::testing;

namespace {

struct ExpectedSizes
{
    double rate;
    std::size_t preDelay;
    std::vector<std::size_t> late, diffA, diffB;
    std::size_t outAp;
};

std::vector<std::size_t> lateSizes(int smallCount, std::size_t small, std::size_t large)
{
    std::vector<std::size_t> v(16, large);
    for (int i = 0; i < smallCount; ++i)
        v[i] = small;
    return v;
}

void expectSizes(const ReverbEngine& e, const ExpectedSizes& x)
{
    ReverbEngineProbe in{e};
    SCOPED_TRACE(x.rate);
    EXPECT_EQ(in.preDelaySize(), x.preDelay);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(in.lateSize(i), x.late[i]) << "late line " << i;
    for (int k = 0; k < 6; ++k)
    {
        EXPECT_EQ(in.diffuserSizeA(k), x.diffA[k]) << "diffuser A " << k;
        EXPECT_EQ(in.diffuserSizeB(k), x.diffB[k]) << "diffuser B " << k;
    }
    EXPECT_EQ(in.outAllpassSizeL(), x.outAp);
    EXPECT_EQ(in.outAllpassSizeR(), x.outAp);
}

const ExpectedSizes k44{44100, 65536, lateSizes(10, 8192, 16384), {256, 256, 512, 512, 1024, 1024},
                        {256, 256, 512, 512, 1024, 1024}, 256};
const ExpectedSizes k48{48000, 65536, lateSizes(9, 8192, 16384), {256, 256, 512, 512, 1024, 1024},
                        {256, 512, 512, 512, 1024, 1024}, 256};
const ExpectedSizes k96{96000, 131072, lateSizes(9, 16384, 32768), {512, 512, 1024, 1024, 2048, 2048},
                        {512, 1024, 1024, 1024, 2048, 2048}, 512};

} // namespace

TEST(ReverbSetup, LineSizesFollowTheSampleRate)
{
    for (const auto& x : {k44, k48, k96})
    {
        ReverbEngine e;
        e.prepare(x.rate, 512);
        expectSizes(e, x);
        EXPECT_EQ(ReverbEngineProbe{e}.maxPos(), static_cast<int>(x.rate) + 64);
    }
}

TEST(ReverbSetup, UnusableSampleRatesFallBackTo44100)
{
    const double bad[] = {0.0, -48000.0, std::nan(""), std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity(), 768000.5, 4294967296.0, 1e300,
                          5e-324, 2e-323, 0.999};
    for (double rate : bad)
    {
        ReverbEngine e;
        e.prepare(rate, 512);
        EXPECT_EQ(ReverbEngineProbe{e}.sampleRate(), 44100.0) << rate;
        expectSizes(e, k44);
    }
    ReverbEngine top;
    top.prepare(768000.0, 512);
    EXPECT_EQ(ReverbEngineProbe{top}.sampleRate(), 768000.0);
}

TEST(ReverbSetup, MaxPosUsesTheWholeNumberPartOfTheRate)
{
    ReverbEngine e;
    e.prepare(44100.9, 512);
    EXPECT_EQ(ReverbEngineProbe{e}.maxPos(), 44164);
}

namespace {

// Silence in gives exactly silence out only when nothing of the earlier sound is left anywhere.
void expectNoHistory(ReverbEngine& e)
{
    const Stereo out = render(e, Stereo(4 * 44100));
    for (std::size_t i = 0; i < out.size(); ++i)
    {
        ASSERT_EQ(out.l[i], 0.0f) << i;
        ASSERT_EQ(out.r[i], 0.0f) << i;
    }
}

} // namespace

TEST(ReverbSetup, SecondPrepareResizesAndClearsEveryLine)
{
    ReverbEngine e;
    e.prepare(96000.0, 512);
    setAll(e, kDefaults);
    Stereo in = noise(4096, 1);
    render(e, in);
    e.prepare(44100.0, 512);
    expectSizes(e, k44);
    expectNoHistory(e);
}

TEST(ReverbSetup, ListParametersRoundHalfUpAndUnknownIdsAreIgnored)
{
    ReverbEngine e;
    ReverbEngineProbe in{e};
    e.setParameter(6, 2.5);
    EXPECT_EQ(in.params().roomSize, 3);
    e.setParameter(6, 2.49);
    EXPECT_EQ(in.params().roomSize, 2);
    e.setParameter(7, 0.49);
    EXPECT_EQ(in.params().spread, 0);
    e.setParameter(7, -1.2);
    EXPECT_EQ(in.params().spread, 0);

    const ReverbParams before = in.params();
    e.setParameter(12, 1.0);
    e.setParameter(0xFFFFFFFFu, 1.0);
    EXPECT_EQ(std::memcmp(&before, &in.params(), sizeof before), 0);
}

TEST(ReverbSetup, NonFiniteParameterValuesKeepThePreviousValue)
{
    ReverbEngine e;
    ReverbEngineProbe in{e};
    e.setParameter(3, 4.0);
    e.setParameter(3, std::nan(""));
    e.setParameter(3, std::numeric_limits<double>::infinity());
    EXPECT_EQ(in.params().reverbTime, 4.0);
    e.setParameter(6, 5.0);
    e.setParameter(6, -std::numeric_limits<double>::infinity());
    EXPECT_EQ(in.params().roomSize, 5);
}

TEST(ReverbSetup, HugeListValuesArePinnedInsteadOfOverflowing)
{
    ReverbEngine e;
    ReverbEngineProbe in{e};
    e.setParameter(6, 1e300);
    EXPECT_EQ(in.params().roomSize, std::numeric_limits<std::int32_t>::max());
    e.setParameter(7, -1e300);
    EXPECT_EQ(in.params().spread, std::numeric_limits<std::int32_t>::min());
    e.prepare(44100.0, 64);
    float l = 0, r = 0;
    e.process(&l, &r, &l, &r, 1);
    EXPECT_EQ(in.cachedRoom(), 9.0);
    EXPECT_EQ(in.cachedSpread(), 0);
}

TEST(ReverbSetup, ResetSilencesTheTailButKeepsSmoothedControls)
{
    ReverbEngine e;
    e.prepare(44100.0, 512);
    setAll(e, kDefaults);
    render(e, noise(8192, 2));
    ReverbEngineProbe in{e};
    const float gainL = in.smoothGainL(), mix = in.smoothMix(), damp0 = in.dampCoef(0);
    e.reset();
    EXPECT_EQ(in.smoothGainL(), gainL);
    EXPECT_EQ(in.smoothMix(), mix);
    EXPECT_EQ(in.dampCoef(0), damp0);
    for (int i = 0; i < 16; ++i)
        EXPECT_DOUBLE_EQ(in.lfoPhase(i), (i + 1) * 0.61803398875);
    expectNoHistory(e);
}
