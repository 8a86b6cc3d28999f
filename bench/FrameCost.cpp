// Renders a stretch of audio through the engine alone or through the whole processor's VST3
// process, and counts only that stretch under callgrind (bench/callgrind.sh runs it):
//
//   engine_frame_cost engine|processor noise|tail|idle <rate> <block>
//
// noise: 0.25 s of noise after 2 s of noise; tail: the first 0.25 s of silence after it;
// idle: 0.25 s of silence once the tail has decayed for 40 s. Prints the measured frame count.
#include "engine/ReverbEngine.h"
#include "processor/VastoraProcessor.h"
#include "support/ProcessorHarness.h"

#include <valgrind/callgrind.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

using namespace corvella::vastora;

namespace {

// The plug-in's default parameter values, plain.
const double kDefaults[12] = {25, 75, 10000, 9.7, 40, 60, 9, 1, 0, 0, 25, 1.0};

using RenderBlock = std::function<void(const float* inL, const float* inR, float* outL, float* outR, int n)>;

int run(const RenderBlock& render, const char* signal, double rate, int block)
{
    std::vector<float> noiseL(block), noiseR(block), silence(block, 0.0f), outL(block), outR(block);
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    auto blocksOf = [&](double seconds) { return static_cast<int>(seconds * rate / block) + 1; };
    auto feed = [&](bool noisy, int blocks) {
        for (int k = 0; k < blocks; ++k)
        {
            if (noisy)
                for (int i = 0; i < block; ++i)
                {
                    noiseL[i] = dist(rng);
                    noiseR[i] = dist(rng);
                }
            const float* l = noisy ? noiseL.data() : silence.data();
            const float* r = noisy ? noiseR.data() : silence.data();
            render(l, r, outL.data(), outR.data(), block);
        }
    };

    feed(true, blocksOf(2.0));
    const bool noisy = std::strcmp(signal, "noise") == 0;
    if (std::strcmp(signal, "idle") == 0)
        feed(false, blocksOf(40.0));
    // The measured stretch gets its noise ahead of time, so only the rendering is counted.
    const int blocks = blocksOf(0.25);
    std::vector<float> inL(static_cast<std::size_t>(blocks) * block), inR(inL.size());
    if (noisy)
        for (std::size_t i = 0; i < inL.size(); ++i)
        {
            inL[i] = dist(rng);
            inR[i] = dist(rng);
        }
    CALLGRIND_START_INSTRUMENTATION;
    CALLGRIND_TOGGLE_COLLECT;
    for (int k = 0; k < blocks; ++k)
        render(&inL[std::size_t(k) * block], &inR[std::size_t(k) * block], outL.data(), outR.data(), block);
    CALLGRIND_TOGGLE_COLLECT;
    CALLGRIND_STOP_INSTRUMENTATION;
    return blocks * block;
}

int runEngine(const char* signal, double rate, int block)
{
    static ReverbEngine engine; // large: keep it off the stack
    engine.prepare(rate, block);
    return run(
        [](const float* inL, const float* inR, float* outL, float* outR, int n) {
            // As the processor does: every value before every block.
            for (std::uint32_t id = 0; id < 12; ++id)
                engine.setParameter(id, kDefaults[id]);
            engine.process(inL, inR, outL, outR, n);
        },
        signal, rate, block);
}

int runProcessor(const char* signal, double rate, int block)
{
    using namespace Steinberg::Vst;
    auto processor = Steinberg::owned(new VastoraProcessor);
    corvella::testing::ProcessorHarness host{processor->unknownCast()};
    host.start(rate, block);
    HostProcessData data;
    data.prepare(host.component(), 0, kSample32);
    data.numSamples = block;
    return run(
        [&](const float* inL, const float* inR, float* outL, float* outR, int n) {
            data.setChannelBuffer(kInput, 0, 0, const_cast<float*>(inL));
            data.setChannelBuffer(kInput, 0, 1, const_cast<float*>(inR));
            data.setChannelBuffer(kOutput, 0, 0, outL);
            data.setChannelBuffer(kOutput, 0, 1, outR);
            data.numSamples = n;
            host.processor().process(data);
        },
        signal, rate, block);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5)
    {
        std::fprintf(stderr, "usage: %s engine|processor noise|tail|idle <rate> <block>\n", argv[0]);
        return 2;
    }
    const double rate = std::atof(argv[3]);
    const int block = std::atoi(argv[4]);
    const int frames = std::strcmp(argv[1], "processor") == 0 ? runProcessor(argv[2], rate, block)
                                                               : runEngine(argv[2], rate, block);
    std::printf("%d\n", frames);
    return 0;
}
