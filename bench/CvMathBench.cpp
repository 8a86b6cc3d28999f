// Cost of the portable sine against the C library's, on the arguments the LFOs feed it: phases in
// [0, 1) times 2 pi, a block at a time.
#include "engine/CvMath.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kBlock = 1024;

std::vector<float> lfoArguments()
{
    std::vector<float> x(kBlock);
    for (int i = 0; i < kBlock; ++i)
        x[static_cast<std::size_t>(i)] = static_cast<float>(i) * (0.7f / kBlock) * 6.2831853f;
    return x;
}

template <float (*Sine)(float)>
void sineBlock(benchmark::State& state)
{
    const std::vector<float> x = lfoArguments();
    std::vector<float> y(kBlock);
    for (auto _ : state)
    {
        for (int i = 0; i < kBlock; ++i)
            y[static_cast<std::size_t>(i)] = Sine(x[static_cast<std::size_t>(i)]);
        benchmark::DoNotOptimize(y.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

float portableSine(float v) { return corvella::cvmath::sin(v); }
float librarySine(float v) { return std::sin(v); }

void BM_SinPortable(benchmark::State& state) { sineBlock<portableSine>(state); }
void BM_SinLibrary(benchmark::State& state) { sineBlock<librarySine>(state); }
BENCHMARK(BM_SinPortable);
BENCHMARK(BM_SinLibrary);

} // namespace
