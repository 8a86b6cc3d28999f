// The engine against its plain, step-by-step original (tests/engine/reference): ten seconds of
// noise through both, with the same blocks and the same parameter changes, must agree to within
// -120 dB RMS and -100 dB peak of the output.
#include "EngineTestUtil.h"
#include "ReverbEngineProbe.h"
#include "reference/ReverbEngine.h"
#include "support/FactoryPresetValues.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <random>
#include <string>
#include <vector>

using namespace corvella::vastora;
using namespace corvella::vastora::testing;

namespace {

constexpr int kRandomBlocks = 0;

struct Change
{
    double atSecond;
    std::uint32_t id;
    double value;
};

struct Case
{
    std::string name;
    PlainValues values;
    double rate;
    int blockSize; // kRandomBlocks: sizes 0 to 700 from a fixed seed
    std::vector<Change> changes;
    double silentFrom = 0.0, silentTo = 0.0; // seconds of silent input
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const auto& kPresets = kFactoryPresetValues;

// Every setting, every rate and every block size appears at least once; rows rotate through
// them so that the suite stays short.
std::vector<Case> cases()
{
    const double rates[] = {44100.0, 48000.0, 96000.0, 192000.0};
    const int blocks[] = {64, 256, 1024, kRandomBlocks, 1};
    std::vector<Case> all;
    for (int r = 0; r < 4; ++r)
        all.push_back({"Defaults" + std::to_string(r), kDefaults, rates[r], blocks[(r + 1) % 5], {}});
    for (int p = 0; p < 14; ++p)
        all.push_back({"Preset" + std::to_string(p), kPresets[p], rates[p % 4], blocks[p % 5], {}});
    const std::vector<Change> moves = {{2.0, 6, 2},   {3.0, 3, 0.8},    {3.5, 2, 3000}, {4.0, 10, 100},
                                       {5.5, 6, 7},   {6.0, 9, -9},     {6.5, 3, 20},   {7.0, 2, 16000},
                                       {7.5, 10, 0},  {8.0, 8, 6},      {8.5, 6, 9}};
    for (int r = 0; r < 4; ++r)
        all.push_back({"Changes" + std::to_string(r), kDefaults, rates[r], blocks[(r + 4) % 5], moves});
    // Long enough for a short tail to die away and the engine to fall idle, then sound again.
    all.push_back({"IdleAndBack", kPresets[7], 48000.0, 256, {}, 1.0, 8.0});
    // Tails that the mix, the balance or the output levels keep from the output after the input
    // stops, let out once the engine could have fallen idle: it must not have cleared them.
    PlainValues dry = kDefaults, early = kDefaults, low = kDefaults;
    dry[5] = 0.0;
    early[4] = 100.0;
    low[3] = 1.0;
    low[8] = low[9] = -18.0;
    all.push_back({"HiddenByMix", dry, 48000.0, 256, {{5.0, 5, 100.0}}, 2.0, 10.0});
    all.push_back({"HiddenByBalance", early, 48000.0, 256, {{5.0, 4, 0.0}}, 2.0, 10.0});
    // A short decay takes the tail down to about -100 dB, a long one holds it there.
    all.push_back({"HiddenByLevels", low, 48000.0, 256, {{3.3, 3, 20.0}, {7.0, 8, 18.0}, {7.0, 9, 18.0}}, 2.0, 10.0});
    return all;
}

class ReverbReference : public ::testing::TestWithParam<Case>
{
};

TEST_P(ReverbReference, TenSecondsOfNoiseMatchTheOriginalEngine)
{
    const Case& c = GetParam();
    const auto frames = static_cast<std::size_t>(c.rate * 10.0);
    Stereo in = noise(frames, 21);
    for (auto i = static_cast<std::size_t>(c.silentFrom * c.rate); i < static_cast<std::size_t>(c.silentTo * c.rate); ++i)
        in.l[i] = in.r[i] = 0.0f;
    Stereo out(frames), expected(frames);

    ReverbEngine engine;
    reference::ReverbEngine original;
    engine.prepare(c.rate, 1024);
    original.prepare(c.rate, 1024);
    setAll(engine, c.values);
    setAll(original, c.values);

    std::mt19937 rng(22);
    std::uniform_int_distribution<int> sizes(0, 700);
    std::size_t nextChange = 0;
    for (std::size_t done = 0; done < frames;)
    {
        for (; nextChange < c.changes.size() && c.changes[nextChange].atSecond * c.rate <= double(done); ++nextChange)
        {
            engine.setParameter(c.changes[nextChange].id, c.changes[nextChange].value);
            original.setParameter(c.changes[nextChange].id, c.changes[nextChange].value);
        }
        const std::size_t n = std::min<std::size_t>(c.blockSize == kRandomBlocks ? sizes(rng) : c.blockSize, frames - done);
        const auto count = static_cast<std::int32_t>(n);
        engine.process(&in.l[done], &in.r[done], &out.l[done], &out.r[done], count);
        original.process(&in.l[done], &in.r[done], &expected.l[done], &expected.r[done], count);
        done += n;
    }

    double signal = 0.0, error = 0.0, signalPeak = 0.0, errorPeak = 0.0;
    for (const auto& [o, x] : {std::pair{&out.l, &expected.l}, {&out.r, &expected.r}})
        for (std::size_t i = 0; i < frames; ++i)
        {
            const double d = double((*o)[i]) - double((*x)[i]);
            signal += double((*x)[i]) * (*x)[i];
            error += d * d;
            signalPeak = std::max(signalPeak, std::fabs(double((*x)[i])));
            errorPeak = std::max(errorPeak, std::fabs(d));
        }
    ASSERT_GT(signal, 0.0);
    const double rmsDb = error > 0.0 ? 10.0 * std::log10(error / signal) : -400.0;
    const double peakDb = errorPeak > 0.0 ? 20.0 * std::log10(errorPeak / signalPeak) : -400.0;
    EXPECT_LT(rmsDb, -120.0);
    EXPECT_LT(peakDb, -100.0);
    RecordProperty("rms_db", std::to_string(rmsDb));
    RecordProperty("peak_db", std::to_string(peakDb));
}

INSTANTIATE_TEST_SUITE_P(Engine, ReverbReference, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return info.param.name; });

TEST(ReverbReferenceIdle, ANearDcTailInTheLinesOutlastsTheIdleTest)
{
    // A smooth DC pulse leaves a near-DC tail in the lines that the outputs barely show. Once the
    // engine has fallen idle, every gain is opened and the room size jumps back and forth, which
    // lets such a tail out: what the engine cleared must not be heard.
    constexpr double kRate = 48000.0;
    constexpr std::size_t kBlock = 256, kPulse = std::size_t(1.38 * kRate), kJump = std::size_t(0.0065 * kRate);
    PlainValues dark = kDefaults;
    for (auto [id, v] : {std::pair{0, 70.0}, {2, 3565.0}, {3, 5.09}, {6, 4.0}, {7, 2.0}, {10, 39.0}, {11, 1.14}})
        dark[std::size_t(id)] = v;
    for (const auto& row : {std::pair{dark, -1.0f}, {kDefaults, 1.0f}})
    {
        const PlainValues& values = row.first;
        const float rightSign = row.second;
        ReverbEngine engine;
        reference::ReverbEngine original;
        std::vector<corvella::CvDspEngine*> both = {&engine, &original};
        for (auto* e : both)
        {
            e->prepare(kRate, kBlock);
            setAll(*e, values);
        }
        Stereo in(kBlock), out[2] = {Stereo(kBlock), Stereo(kBlock)};
        double worst = 0.0;
        std::size_t frame = 0;
        auto block = [&] {
            for (std::size_t m = 0; m < kBlock; ++m, ++frame)
            {
                in.l[m] = frame < kPulse ? float(0.5 - 0.5 * std::cos(2.0 * M_PI * double(frame) / kPulse)) : 0.0f;
                in.r[m] = in.l[m] * rightSign;
            }
            for (int k = 0; k < 2; ++k)
                both[k]->process(in.l.data(), in.r.data(), out[k].l.data(), out[k].r.data(), std::int32_t(kBlock));
            for (std::size_t m = 0; m < kBlock; ++m)
                worst = std::max({worst, std::fabs(double(out[0].l[m]) - out[1].l[m]), std::fabs(double(out[0].r[m]) - out[1].r[m])});
        };
        while (!ReverbEngineProbe{engine}.idle() && frame < 120 * kRate)
            block();
        ASSERT_TRUE(ReverbEngineProbe{engine}.idle());
        const double idleAt = double(frame) / kRate;
        worst = 0.0;
        for (auto [id, v] : {std::pair{5u, 100.0}, {4u, 0.0}, {8u, 18.0}, {9u, 18.0}})
            for (auto* e : both)
                e->setParameter(id, v);
        for (int jump = 0; jump < 40; ++jump)
        {
            for (auto* e : both)
                e->setParameter(6, jump % 2 ? 0.0 : 7.0);
            for (const std::size_t until = frame + kJump; frame < until;)
                block();
        }
        for (const std::size_t until = frame + std::size_t(2.0 * kRate); frame < until;)
            block();
        EXPECT_LT(20.0 * std::log10(worst + 1e-30), -120.0) << "right sign " << rightSign << ", idle after " << idleAt << " s";
    }
}

} // namespace
