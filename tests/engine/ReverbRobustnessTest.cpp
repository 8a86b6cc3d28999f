#include "EngineTestUtil.h"
#include "ReverbEngineProbe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <xmmintrin.h>

using namespace corvella::vastora;
using namespace corvella::vastora::testing;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Extreme settings: longest time, largest room, full modulation and warmth, +18 dB out.
constexpr PlainValues kExtreme = {1000, 100, 20000, 20, 0, 100, 9, 10, 18, 18, 100, 1.5};

struct Stats
{
    bool finite = true;
    float peak = 0.0f;
};

// Feeds full-scale noise for `seconds` in blocks of 512 and watches every output sample.
Stats runNoise(ReverbEngine& e, double rate, double seconds)
{
    Stats s;
    const Stereo in = noise(512 * 64, 11);
    Stereo out(512);
    const auto total = static_cast<std::size_t>(rate * seconds);
    for (std::size_t done = 0; done < total; done += 512)
    {
        const std::size_t offset = done % in.size();
        e.process(in.l.data() + offset, in.r.data() + offset, out.l.data(), out.r.data(), 512);
        for (std::size_t i = 0; i < 512; ++i)
        {
            s.finite = s.finite && std::isfinite(out.l[i]) && std::isfinite(out.r[i]);
            s.peak = std::max({s.peak, std::fabs(out.l[i]), std::fabs(out.r[i])});
        }
    }
    return s;
}

} // namespace

TEST(ReverbRobustness, AMinuteOfFullScaleNoiseAtExtremeSettingsStaysBounded)
{
    for (double rate : {44100.0, 192000.0})
    {
        ReverbEngine e;
        e.prepare(rate, 512);
        setAll(e, kExtreme);
        const Stats s = runNoise(e, rate, 60.0);
        EXPECT_TRUE(s.finite) << rate;
        // +18 dB output gain on a full-scale input; an unstable loop would grow without bound.
        EXPECT_LT(s.peak, 200.0f) << rate;

        // Once the input stops the tail keeps decaying (the warm low band very slowly).
        Stereo silence(512), out(512);
        auto silentBlockPeak = [&] {
            e.process(silence.l.data(), silence.r.data(), out.l.data(), out.r.data(), 512);
            float peak = 0.0f;
            for (float x : out.l)
                peak = std::max(peak, std::fabs(x));
            return peak;
        };
        const float firstPeak = silentBlockPeak();
        float lastPeak = firstPeak;
        for (int k = 1; k < static_cast<int>(rate * 10 / 512); ++k)
            lastPeak = silentBlockPeak();
        EXPECT_LT(lastPeak, 0.5f * firstPeak) << rate;
    }
}

TEST(ReverbRobustness, NonFiniteInputSamplesAreTreatedAsSilence)
{
    Stereo in = noise(20000, 12);
    Stereo zeroed = in;
    for (std::size_t i : {0u, 17u, 5000u, 5001u, 19999u})
    {
        in.l[i] = i % 2 ? kNaN : kInf;
        in.r[i] = -kInf;
        zeroed.l[i] = zeroed.r[i] = 0.0f;
    }
    ReverbEngine a = settledEngine(kDefaults);
    ReverbEngine b = settledEngine(kDefaults);
    const Stereo out = render(a, in);
    const Stereo expected = render(b, zeroed);
    for (std::size_t i = 0; i < out.size(); ++i)
    {
        ASSERT_EQ(out.l[i], expected.l[i]) << i;
        ASSERT_EQ(out.r[i], expected.r[i]) << i;
    }
}

TEST(ReverbRobustness, NonFiniteParametersLeaveTheSoundUnchanged)
{
    const Stereo in = noise(8192, 13);
    ReverbEngine a = settledEngine(kDefaults);
    ReverbEngine b = settledEngine(kDefaults);
    for (std::uint32_t id = 0; id < 12; ++id)
    {
        b.setParameter(id, std::nan(""));
        b.setParameter(id, -std::numeric_limits<double>::infinity());
    }
    const Stereo expected = render(a, in);
    const Stereo out = render(b, in);
    EXPECT_EQ(out.l, expected.l);
    EXPECT_EQ(out.r, expected.r);
}

TEST(ReverbRobustness, OutputLevelsBeyondTheirRangeActAsTheRangeEnds)
{
    const Stereo in = noise(8192, 15);
    const PlainValues atEnds = {25, 75, 10000, 9.7, 40, 60, 9, 1, 18, -18, 25, 1.0};
    PlainValues beyond = atEnds;
    beyond[8] = 1000.0; // 10^50 overflows a float gain
    beyond[9] = -1e300;
    ReverbEngine a = settledEngine(atEnds);
    ReverbEngine b = settledEngine(beyond);
    const Stereo expected = render(a, in);
    const Stereo out = render(b, in);
    EXPECT_EQ(out.l, expected.l);
    EXPECT_EQ(out.r, expected.r);
}

TEST(ReverbRobustness, ProcessBeforePrepareWritesSilence)
{
    ReverbEngine e;
    std::vector<float> l(256, 0.5f), r(256, -0.5f);
    e.process(l.data(), r.data(), l.data(), r.data(), 256);
    EXPECT_EQ(l, std::vector<float>(256, 0.0f));
    EXPECT_EQ(r, std::vector<float>(256, 0.0f));
    EXPECT_EQ(ReverbEngineProbe{e}.maxPos(), 0);
}

TEST(ReverbRobustness, ExtremeSampleRatesRenderFiniteOutput)
{
    for (double rate : {1.0, 8000.0, 768000.0})
    {
        ReverbEngine e;
        e.prepare(rate, 64);
        setAll(e, kExtreme);
        const Stats s = runNoise(e, 48000.0, 2.0);
        EXPECT_TRUE(s.finite) << rate;

        // Samples at the float limit, finite yet far beyond any signal, then their tail.
        Stereo spikes(4096);
        spikes.l[0] = spikes.r[1] = std::numeric_limits<float>::max();
        spikes.l[2] = spikes.r[2] = -std::numeric_limits<float>::max();
        const Stereo out = render(e, spikes);
        for (std::size_t i = 0; i < out.size(); ++i)
            ASSERT_TRUE(std::isfinite(out.l[i]) && std::isfinite(out.r[i])) << rate << " at " << i;
    }
}

TEST(ReverbRobustness, OutOfRangeFiniteParametersAreClampedWhereUsed)
{
    ReverbEngine e;
    e.prepare(44100.0, 64);
    setAll(e, {-5e3, 1e9, -1e9, -4.0, 1e12, -1e12, 1e300, -1e300, 0, 0, 1e15, 1e30});
    const Stats s = runNoise(e, 44100.0, 2.0);
    EXPECT_TRUE(s.finite);
}

TEST(ReverbRobustness, ProcessFlushesDenormalsAndRestoresTheCallersMode)
{
    const unsigned before = _mm_getcsr();
    _mm_setcsr(before & ~0x8040u);
    constexpr unsigned kControlBits = ~0x3Fu; // the low six bits are sticky exception flags
    const unsigned callerMode = _mm_getcsr() & kControlBits;
    ReverbEngine e = settledEngine(kDefaults);
    Stereo in = noise(512, 14);
    render(e, in);
    EXPECT_EQ(_mm_getcsr() & kControlBits, callerMode);

    // A tiny input flushes to exactly zero instead of circulating as subnormals.
    Stereo tiny(512);
    tiny.l.assign(512, 1e-39f);
    tiny.r.assign(512, 1e-39f);
    ReverbEngine quiet = settledEngine(kDefaults);
    const Stereo out = render(quiet, tiny);
    for (std::size_t i = 0; i < out.size(); ++i)
        ASSERT_EQ(out.l[i], 0.0f) << i;
    _mm_setcsr(before);
}
