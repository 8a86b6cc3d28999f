#include "EngineTestUtil.h"
#include "ReverbEngineProbe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace corvella::vastora;
using namespace corvella::vastora::testing;

namespace {

PlainValues with(PlainValues v, std::initializer_list<std::pair<int, double>> changes)
{
    for (auto [id, value] : changes)
        v[id] = value;
    return v;
}

void expectIdentical(const Stereo& a, const Stereo& b)
{
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        ASSERT_EQ(a.l[i], b.l[i]) << "left sample " << i;
        ASSERT_EQ(a.r[i], b.r[i]) << "right sample " << i;
    }
}

} // namespace

TEST(ReverbProcess, EmptyBlocksStillAdvanceTheSmoothingAndTouchNoBuffer)
{
    ReverbEngine e;
    e.prepare(44100.0, 64);
    e.setParameter(1, 75.0);
    float buf[4] = {1, 2, 3, 4};
    e.process(buf, buf, buf, buf, 0);
    EXPECT_EQ(ReverbEngineProbe{e}.smoothDiffusion(), 1.0f - 0.05f * 0.25f);
    e.process(buf, buf, buf, buf, -7);
    EXPECT_EQ(buf[0], 1.0f);
    EXPECT_EQ(buf[3], 4.0f);
    EXPECT_EQ(ReverbEngineProbe{e}.cachedRoom(), 3.0);
}

TEST(ReverbProcess, GlideFollowsTheBlockCount)
{
    ReverbEngine e;
    e.prepare(48000.0, 64);
    e.setParameter(5, 0.0);
    for (int m = 0; m < 45; ++m)
        e.process(nullptr, nullptr, nullptr, nullptr, 0);
    // s(m) = t + (s0 - t) * 0.95^m, starting from a mix of 0.5
    EXPECT_NEAR(ReverbEngineProbe{e}.smoothMix(), 0.5 * std::pow(0.95, 45), 1e-5);
}

TEST(ReverbProcess, SilenceInGivesExactSilenceOut)
{
    ReverbEngine e = settledEngine(kDefaults);
    Stereo out = render(e, Stereo(44100));
    for (std::size_t i = 0; i < out.size(); ++i)
    {
        ASSERT_EQ(out.l[i], 0.0f);
        ASSERT_EQ(out.r[i], 0.0f);
    }
}

TEST(ReverbProcess, DryOnlyAndOutputLevelsOnceSettled)
{
    const Stereo in = noise(8192, 3, 0.5f);
    // Mix 0: each output is its input times its output gain, whatever the reverb holds.
    ReverbEngine dry = settledEngine(with(kDefaults, {{5, 0.0}, {8, 0.0}, {9, -18.0}}));
    render(dry, noise(4096, 4)); // fill the network first
    const Stereo out = render(dry, in);
    const float gainR = static_cast<float>(std::pow(10.0, -18.0 / 20.0));
    for (std::size_t i = 0; i < in.size(); ++i)
    {
        ASSERT_EQ(out.l[i], in.l[i]) << i;
        ASSERT_NEAR(out.r[i], in.r[i] * gainR, 1e-6f) << i;
    }
    EXPECT_EQ(ReverbEngineProbe{dry}.smoothGainL(), 1.0f);

    // Mix 100: the dry signal is gone (no output before the first reflection arrives).
    ReverbEngine wet = settledEngine(with(kDefaults, {{5, 100.0}, {7, 0.0}}));
    const Stereo imp = render(wet, impulse(64));
    EXPECT_LT(std::fabs(imp.l[0]), 1e-6f);
    EXPECT_EQ(firstAbove(imp.l, 1e-6f, 1), 22u);
}

TEST(ReverbProcess, EarlyReflectionsStartAtTheFirstTapWhateverThePreDelay)
{
    for (double preDelay : {0.0, 50.0, 300.0})
    {
        // Early only, full wet, unscaled taps: the first tap (23) yields the input 22 samples late.
        ReverbEngine e = settledEngine(with(kDefaults, {{0, preDelay}, {4, 100.0}, {5, 100.0}, {7, 0.0}}));
        const Stereo out = render(e, impulse(4096));
        EXPECT_EQ(firstAbove(out.l, 1e-6f, 1), 22u) << preDelay;
        EXPECT_EQ(firstAbove(out.r, 1e-6f, 1), 22u) << preDelay;
    }
}

TEST(ReverbProcess, LateFieldStartsAfterPreDelayPlusTheShortestLine)
{
    // Late only, no modulation, smallest room: a left impulse enters line 0 only, 1317 samples.
    for (double preDelay : {0.0, 10.0, 100.0})
    {
        ReverbEngine e = settledEngine(with(kDefaults, {{0, preDelay}, {4, 0.0}, {5, 100.0}, {6, 0.0}, {10, 0.0}}));
        const Stereo out = render(e, impulse(12000, 1.0f, 0.0f));
        const std::size_t preDelaySamples = preDelay == 0.0 ? 1 : static_cast<std::size_t>(preDelay * 44.1 + 0.5);
        EXPECT_EQ(firstAbove(out.l, 1e-7f, 1), preDelaySamples + 1317) << preDelay;
        EXPECT_EQ(firstAbove(out.r, 1e-7f, 1), preDelaySamples + 1317) << preDelay;
    }
}

TEST(ReverbProcess, LeftOnlyInputGivesEarlyReflectionsOnTheLeftOnly)
{
    ReverbEngine e = settledEngine(with(kDefaults, {{4, 100.0}, {5, 100.0}, {7, 0.0}}));
    const Stereo out = render(e, impulse(2000, 1.0f, 0.0f));
    EXPECT_LT(firstAbove(out.l, 1e-6f), out.size());
    EXPECT_EQ(firstAbove(out.r, 1e-9f), out.size());
}

TEST(ReverbProcess, ResetMakesTheOutputRepeatable)
{
    ReverbEngine e = settledEngine(kDefaults);
    const Stereo in = noise(20000, 5);
    const Stereo first = render(e, in);
    e.reset();
    const Stereo second = render(e, in);
    expectIdentical(first, second);
}

TEST(ReverbProcess, SettledOutputDoesNotDependOnTheBlockSize)
{
    const Stereo in = noise(30000, 6);
    ReverbEngine a = settledEngine(kDefaults);
    ReverbEngine b = settledEngine(kDefaults);
    ReverbEngine c = settledEngine(kDefaults);
    const Stereo bySample = render(a, in, 1);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> sizes(0, 700);
    const Stereo byRandom = render(b, in, [&](int) { return sizes(rng); });
    const Stereo whole = render(c, in, static_cast<int>(in.size()));
    expectIdentical(bySample, whole);
    expectIdentical(byRandom, whole);
}

TEST(ReverbProcess, InPlaceAndSharedOutputBuffers)
{
    const Stereo in = noise(10000, 8);
    ReverbEngine ref = settledEngine(kDefaults);
    const Stereo expected = render(ref, in);

    ReverbEngine inPlace = settledEngine(kDefaults);
    Stereo buf = in;
    inPlace.process(buf.l.data(), buf.r.data(), buf.l.data(), buf.r.data(), static_cast<int>(buf.size()));
    expectIdentical(buf, expected);

    // One buffer for both outputs ends up holding the right channel.
    ReverbEngine shared = settledEngine(kDefaults);
    std::vector<float> both(in.size());
    shared.process(in.l.data(), in.r.data(), both.data(), both.data(), static_cast<int>(both.size()));
    EXPECT_EQ(both, expected.r);

    // Mono use: one input buffer for both channels, in place.
    ReverbEngine monoRef = settledEngine(kDefaults);
    Stereo monoIn = in;
    monoIn.r = monoIn.l;
    const Stereo monoExpected = render(monoRef, monoIn);
    ReverbEngine mono = settledEngine(kDefaults);
    std::vector<float> one = in.l;
    mono.process(one.data(), one.data(), one.data(), one.data(), static_cast<int>(one.size()));
    EXPECT_EQ(one, monoExpected.r);
}

TEST(ReverbProcess, LongerReverbTimeRingsLonger)
{
    auto tailEnergy = [](double seconds) {
        ReverbEngine e = settledEngine(with(kDefaults, {{3, seconds}, {5, 100.0}, {4, 0.0}}));
        const Stereo out = render(e, impulse(44100 * 2));
        double energy = 0.0;
        for (std::size_t i = 44100; i < out.size(); ++i)
            energy += double(out.l[i]) * out.l[i];
        return energy;
    };
    const double short1 = tailEnergy(0.5), long1 = tailEnergy(5.0);
    EXPECT_GT(long1, 100.0 * short1);
}
