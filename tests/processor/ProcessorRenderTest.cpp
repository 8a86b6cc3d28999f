#include "support/ProcessorHarness.h"
#include "support/StateBytes.h"

#include "params/VastoraParams.h"
#include "processor/VastoraProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

using namespace corvella::testing;
using namespace corvella::vastora;
using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

Channels<float> noise(int channels, std::size_t frames, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    Channels<float> c(static_cast<std::size_t>(channels), std::vector<float>(frames));
    for (auto& ch : c)
        for (float& s : ch)
            s = dist(rng);
    return c;
}

Channels<double> widen(const Channels<float>& c)
{
    Channels<double> d;
    for (const auto& ch : c)
        d.emplace_back(ch.begin(), ch.end());
    return d;
}

struct Instance
{
    IPtr<VastoraProcessor> processor = owned(new VastoraProcessor);
    ProcessorHarness host{processor->unknownCast()};
    explicit Instance(int32 sampleSize = kSample32, SpeakerArrangement arr = SpeakerArr::kStereo, int32 maxBlock = 512)
    {
        host.start(44100.0, maxBlock, sampleSize, arr);
    }
};

std::vector<double> plainValues(ProcessorHarness& h) { return StateBytes::values(h.getState()); }

} // namespace

TEST(ProcessorRender, AParameterChangeAppliesToTheBlockItArrivesIn)
{
    const Channels<float> in = noise(2, 16384, 1);
    const BlockChanges smallRoom = {{kRoomSize, 0.0}};
    const BlockChanges longTime = {{kReverbTime, 1.0}};

    Instance flushedFirst;
    flushedFirst.host.flush(smallRoom);
    flushedFirst.host.flush(longTime);
    const Channels<float> expected = flushedFirst.host.render(in, 16384);

    Instance inBlock;
    inBlock.host.flush(smallRoom);
    const Channels<float> out = inBlock.host.render(in, 16384, {{0, longTime}});
    EXPECT_EQ(out, expected);

    Instance unchanged;
    unchanged.host.flush(smallRoom);
    EXPECT_NE(unchanged.host.render(in, 16384), expected);
}

// Queues exactly as given, repeated IDs included (the SDK's own list merges them).
class RawChanges : public IParameterChanges
{
public:
    ParameterValueQueue& add(ParamID id)
    {
        queues.push_back(owned(new ParameterValueQueue(id)));
        return *queues.back();
    }
    int32 PLUGIN_API getParameterCount() override { return int32(queues.size()) + 1; }
    IParamValueQueue* PLUGIN_API getParameterData(int32 index) override
    {
        return index < int32(queues.size()) ? queues[std::size_t(index)].get() : nullptr; // last one is null
    }
    IParamValueQueue* PLUGIN_API addParameterData(const ParamID&, int32&) override { return nullptr; }
    tresult PLUGIN_API queryInterface(const TUID, void**) override { return kNoInterface; }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }

private:
    std::vector<IPtr<ParameterValueQueue>> queues;
};

TEST(ProcessorRender, OnlyTheLastPointOfEachQueueCounts)
{
    Instance i;
    RawChanges changes;
    // Hosts send ramps: several points per queue at rising offsets; the block ends at the last.
    auto addRamp = [&changes](ParamID id, std::initializer_list<std::pair<int32, double>> points) {
        ParameterValueQueue& queue = changes.add(id);
        int32 index = 0;
        for (auto [offset, value] : points)
            queue.addPoint(offset, value, index);
    };
    addRamp(kMasterMix, {{0, 0.2}, {100, 0.5}, {311, 0.9}});
    addRamp(kPreDelay, {{0, 0.3}, {64, 0.1}});
    addRamp(kPreDelay, {{5, 0.9}, {200, 0.5}}); // the later queue wins
    changes.add(kDiffusion);                    // no points
    ProcessData data;
    data.inputParameterChanges = &changes;
    EXPECT_EQ(i.host.processor().process(data), kResultOk);
    std::vector<double> v = plainValues(i.host);
    EXPECT_EQ(v[kMasterMix], 90.0);
    EXPECT_EQ(v[kPreDelay], 500.0);
    EXPECT_EQ(v[kDiffusion], 75.0);

    i.host.flush({{kMasterMix, 1.7}, {kWarmth, std::numeric_limits<double>::quiet_NaN()}, {0x7FFF0000, 0.5}, {99, 0.3}});
    v = plainValues(i.host);
    EXPECT_EQ(v[kMasterMix], 100.0);
    EXPECT_EQ(v[kWarmth], 1.0); // a NaN never reaches the values
}

TEST(ProcessorRender, SixtyFourBitMatchesThirtyTwoBitAtFloatPrecision)
{
    const Channels<float> in = noise(2, 20000, 2);
    Instance single(kSample32);
    const Channels<float> out32 = single.host.render(in, 512);
    Instance dbl(kSample64);
    const Channels<double> out64 = dbl.host.render(widen(in), 512);
    EXPECT_EQ(out64, widen(out32));
}

TEST(ProcessorRender, SixtyFourBitBlocksLargerThanTheSetupAreRenderedWhole)
{
    Instance dbl(kSample64, SpeakerArr::kStereo, 256);
    const Channels<double> out = dbl.host.render(widen(noise(2, 4096, 3)), 4096);
    for (const auto& ch : out)
        for (double s : ch)
            ASSERT_TRUE(std::isfinite(s));
    EXPECT_NE(out[1][4095], 0.0);
}

TEST(ProcessorRender, InPlaceGivesTheSameOutputAsSeparateBuffers)
{
    const Channels<float> in = noise(2, 10000, 4);
    Instance separate, inPlace;
    EXPECT_EQ(inPlace.host.render(in, 512, {}, true), separate.host.render(in, 512));
    Instance separate64(kSample64), inPlace64(kSample64);
    EXPECT_EQ(inPlace64.host.render(widen(in), 512, {}, true), separate64.host.render(widen(in), 512));
}

TEST(ProcessorRender, MonoCarriesTheRightSideIn32BitAndTheLeftIn64Bit)
{
    // Output Level L at -18 dB, R at 0 dB: the two engine outputs differ.
    const BlockChanges levels = {{kOutputLevelL, 0.0}, {kOutputLevelR, 0.5}};
    const Channels<float> mono = noise(1, 8192, 5);
    const Channels<float> stereoIn = {mono[0], mono[0]};

    Instance stereo;
    stereo.host.flush(levels);
    const Channels<float> ref = stereo.host.render(stereoIn, 512);

    Instance m32(kSample32, SpeakerArr::kMono);
    m32.host.flush(levels);
    EXPECT_EQ(m32.host.render(mono, 512)[0], ref[1]);

    Instance m64(kSample64, SpeakerArr::kMono);
    m64.host.flush(levels);
    EXPECT_EQ(m64.host.render(widen(mono), 512)[0], widen(ref)[0]);
}

TEST(ProcessorRender, ReactivationClearsTheTailAndKeepsTheValues)
{
    Instance i;
    i.host.flush({{kMasterMix, 1.0}});
    i.host.render(noise(2, 8192, 6), 512);
    i.host.activate(false);
    i.host.activate(true);
    const Channels<float> silence(2, std::vector<float>(4096, 0.0f));
    EXPECT_EQ(i.host.render(silence, 512), silence);
    EXPECT_EQ(plainValues(i.host)[kMasterMix], 100.0);
}

TEST(ProcessorRender, StateRoundTripGivesBitIdenticalOutput)
{
    Instance a;
    a.host.flush({{kReverbTime, 0.3}, {kRoomSize, 4.0 / 9.0}, {kSpread, 0.7}, {kMasterMix, 0.8}, {kWarmth, 0.2}});
    const std::vector<char> saved = a.host.getState();

    Instance b;
    ASSERT_EQ(b.host.setState(saved), kResultOk);
    const Channels<float> in = noise(2, 30000, 7);
    EXPECT_EQ(b.host.render(in, 333), a.host.render(in, 333));
}

TEST(ProcessorRender, ProcessBeforeSetupAndEmptyBlocksTouchNoSamples)
{
    IPtr<VastoraProcessor> p = owned(new VastoraProcessor);
    ProcessorHarness h(p->unknownCast());
    h.initialize();
    const Channels<float> in = noise(2, 512, 8);
    EXPECT_EQ(h.render(in, 512, {}, true), in); // not set up: nothing rendered

    h.setup(44100.0, 512);
    h.activate(true);
    HostProcessData data;
    data.prepare(h.component(), 64, kSample32);
    data.outputs[0].channelBuffers32[0][0] = 0.75f;
    data.outputs[0].silenceFlags = 3;
    data.numSamples = 0;
    EXPECT_EQ(h.processor().process(data), kResultOk);
    EXPECT_EQ(data.outputs[0].silenceFlags, 0u);
    EXPECT_EQ(data.outputs[0].channelBuffers32[0][0], 0.75f);
}

TEST(ProcessorRender, HostsBreakingTheProcessContractGetNoWrites)
{
    Instance i;
    HostProcessData data;
    data.prepare(i.host.component(), 64, kSample32);
    data.numSamples = 64;
    for (int32 c = 0; c < 2; ++c)
        std::fill(data.outputs[0].channelBuffers32[c], data.outputs[0].channelBuffers32[c] + 64, 0.5f);

    data.outputs[0].numChannels = 1; // fewer outputs than inputs
    EXPECT_EQ(i.host.processor().process(data), kResultOk);
    EXPECT_EQ(data.outputs[0].channelBuffers32[0][10], 0.5f);
    data.outputs[0].numChannels = 2;

    Sample32** buffers = data.inputs[0].channelBuffers32;
    data.inputs[0].channelBuffers32 = nullptr; // a bus without channel buffers
    EXPECT_EQ(i.host.processor().process(data), kResultOk);
    EXPECT_EQ(data.outputs[0].channelBuffers32[1][10], 0.5f);
    data.inputs[0].channelBuffers32 = buffers;

    data.symbolicSampleSize = 7;
    EXPECT_EQ(i.host.processor().process(data), kResultFalse);
    EXPECT_EQ(data.outputs[0].channelBuffers32[0][10], 0.5f);
    data.symbolicSampleSize = kSample32;

    data.inputs[0].numChannels = 0;
    EXPECT_EQ(i.host.processor().process(data), kResultOk);
    EXPECT_EQ(data.outputs[0].channelBuffers32[0][10], 0.5f);
    data.inputs[0].numChannels = 2; // HostProcessData frees as many buffers as the bus counts
}

TEST(ProcessorRender, TailCoversPreDelayAndTheDecayToMinus120Decibels)
{
    Instance i;
    EXPECT_EQ(i.host.processor().getTailSamples(), static_cast<uint32>(std::ceil((0.025 + 2 * 9.7) * 44100.0)));
    i.host.flush({{kPreDelay, 1.0}, {kReverbTime, 0.0}});
    EXPECT_EQ(i.host.processor().getTailSamples(), static_cast<uint32>(std::ceil((1.0 + 2 * 0.1) * 44100.0)));

    for (double rate : {0.0, -48000.0, std::nan(""), double(INFINITY), 1e9, 5e-324, 0.5})
    {
        Instance j;
        j.host.activate(false);
        j.host.setup(rate, 512);
        EXPECT_EQ(j.host.processor().getTailSamples(), static_cast<uint32>(std::ceil((0.025 + 2 * 9.7) * 44100.0)))
            << rate;
    }
}
