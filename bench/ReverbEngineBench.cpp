// Cost of the reverb engine: stereo at 48 and 192 kHz for several host block sizes, and the cost
// of a long silent tail after noise (where subnormal numbers would show if they were not flushed).
#include "engine/ReverbEngine.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

using corvella::vastora::ReverbEngine;

namespace {

const double kDefaults[12] = {25, 75, 10000, 9.7, 40, 60, 9, 1, 0, 0, 25, 1.0};

struct Buffers
{
    std::vector<float> inL, inR, outL, outR;
    explicit Buffers(std::size_t n, bool silent)
        : inL(n), inR(n), outL(n), outR(n)
    {
        if (silent)
            return;
        std::mt19937 rng(1);
        std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
        for (std::size_t i = 0; i < n; ++i)
        {
            inL[i] = dist(rng);
            inR[i] = dist(rng);
        }
    }
};

void prepareEngine(ReverbEngine& e, double rate, int block)
{
    e.prepare(rate, block);
    for (std::uint32_t id = 0; id < 12; ++id)
        e.setParameter(id, kDefaults[id]);
}

void reportPerFrame(benchmark::State& state, double rate, int block)
{
    const double frames = static_cast<double>(state.iterations()) * block;
    state.SetItemsProcessed(static_cast<std::int64_t>(frames));
    // Per frame and the realtime factor, both derived from CPU time by the framework:
    // ns_per_frame = 1e9 / (frames / s); realtime = (frames / rate) / s.
    state.counters["ns_per_frame"] = benchmark::Counter(frames / 1e9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["realtime_x"] = benchmark::Counter(frames / rate, benchmark::Counter::kIsRate);
}

void BM_ProcessNoise(benchmark::State& state)
{
    const int block = static_cast<int>(state.range(0));
    const auto rate = static_cast<double>(state.range(1));
    ReverbEngine e;
    prepareEngine(e, rate, block);
    Buffers b(static_cast<std::size_t>(block), false);
    for (auto _ : state)
    {
        for (std::uint32_t id = 0; id < 12; ++id)
            e.setParameter(id, kDefaults[id]);
        e.process(b.inL.data(), b.inR.data(), b.outL.data(), b.outR.data(), block);
        benchmark::DoNotOptimize(b.outL.data());
    }
    reportPerFrame(state, rate, block);
}
BENCHMARK(BM_ProcessNoise)->ArgsProduct({{64, 256, 1024}, {48000, 192000}});

// Ten seconds of noise, then silence: the tail decays for the rest of the run.
void BM_SilentTailAfterNoise(benchmark::State& state)
{
    const int block = static_cast<int>(state.range(0));
    const auto rate = static_cast<double>(state.range(1));
    ReverbEngine e;
    prepareEngine(e, rate, block);
    Buffers noise(static_cast<std::size_t>(block), false);
    for (int k = 0; k < static_cast<int>(10 * rate) / block; ++k)
        e.process(noise.inL.data(), noise.inR.data(), noise.outL.data(), noise.outR.data(), block);
    Buffers silence(static_cast<std::size_t>(block), true);
    for (auto _ : state)
    {
        e.process(silence.inL.data(), silence.inR.data(), silence.outL.data(), silence.outR.data(), block);
        benchmark::DoNotOptimize(silence.outL.data());
    }
    reportPerFrame(state, rate, block);
}
BENCHMARK(BM_SilentTailAfterNoise)->ArgsProduct({{256}, {48000, 192000}});

} // namespace
