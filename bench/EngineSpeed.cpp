// The reverb engine's realtime factor with nothing but the standard library, so that the same
// measurement runs in every build (the Windows one under wine included):
//   engine_speed [seconds of audio, default 30]
// Stereo noise at 48 kHz in blocks of 256 frames with the default settings; prints the best of
// three runs as nanoseconds per frame and as the realtime factor.
#include "engine/ReverbEngine.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

using corvella::vastora::ReverbEngine;

int main(int argc, char** argv)
{
    constexpr double kRate = 48000.0;
    constexpr int kBlock = 256;
    const double kDefaults[12] = {25, 75, 10000, 9.7, 40, 60, 9, 1, 0, 0, 25, 1.0};
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 30.0;
    const long blocks = static_cast<long>(seconds * kRate / kBlock);

    std::vector<float> inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock);
    std::uint32_t state = 1;
    for (int i = 0; i < kBlock; ++i)
    {
        state = state * 1664525u + 1013904223u;
        inL[i] = static_cast<float>(state >> 8) / 16777216.0f - 0.5f;
        inR[i] = -inL[i];
    }

    ReverbEngine engine;
    engine.prepare(kRate, kBlock);
    double best = 1e30;
    float sink = 0.0f;
    for (int run = 0; run < 3; ++run)
    {
        const auto start = std::chrono::steady_clock::now();
        for (long b = 0; b < blocks; ++b)
        {
            for (std::uint32_t id = 0; id < 12; ++id)
                engine.setParameter(id, kDefaults[id]);
            engine.process(inL.data(), inR.data(), outL.data(), outR.data(), kBlock);
            sink += outL[b % kBlock];
        }
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    const double frames = static_cast<double>(blocks) * kBlock;
    std::printf("ns_per_frame %.1f realtime_x %.1f (%s)\n", best * 1e9 / frames, frames / kRate / best,
                sink == sink ? "finite" : "not finite");
    return 0;
}
