// State loads meeting a running audio thread. Also built and run under ThreadSanitizer
// (scripts/tsan.sh).
#include "support/ProcessorHarness.h"
#include "support/StateBytes.h"

#include "engine/ReverbEngineProbe.h"
#include "params/VastoraParams.h"
#include "processor/VastoraProcessor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

using namespace corvella::testing;
using namespace corvella::vastora;
using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

// Two complete states that differ in every value.
const std::vector<double> kStateA = {100, 50, 2000, 3.5, 20, 80, 2, 5, -6, 6, 70, 0.5};
const std::vector<double> kStateB = {400, 90, 12000, 0.4, 70, 30, 8, 1, 3, -9, 10, 1.3};

class ProbedProcessor : public VastoraProcessor
{
public:
    // The twelve values the engine holds, in ID order.
    std::vector<double> engineValues() const
    {
        const ReverbParams& p = ReverbEngineProbe{engine}.params();
        return {p.preDelay,     p.diffusion,    p.brightness, p.reverbTime, p.earlyLate, p.mix,
                double(p.roomSize), double(p.spread), p.outputLevelL, p.outputLevelR, p.modulation, p.warmth};
    }
};

struct Instance
{
    IPtr<ProbedProcessor> processor = owned(new ProbedProcessor);
    ProcessorHarness host{processor->unknownCast()};
    HostProcessData data;
    ParameterChanges changes{16};
    Instance()
    {
        host.start(44100.0, 64);
        data.prepare(host.component(), 16, kSample32);
        data.numSamples = 16;
        data.inputParameterChanges = &changes;
    }
    std::vector<double> block(const BlockChanges& automation = {})
    {
        changes.clearQueue();
        addChanges(changes, automation);
        host.processor().process(data);
        return processor->engineValues();
    }
    std::vector<double> saved() { return StateBytes::values(host.getState()); }
};

// The values a state holds once loaded: loading rounds each through its normalized form.
std::vector<double> asLoaded(const std::vector<double>& values)
{
    Instance i;
    i.host.setState(StateBytes::make(2, values));
    return i.saved();
}

bool inRange(const std::vector<double>& values)
{
    for (int k = 0; k < kParamCount; ++k)
        if (!(values[k] >= parameterSpecs()[k].minPlain && values[k] <= parameterSpecs()[k].maxPlain))
            return false;
    return true;
}

} // namespace

TEST(StateHandover, EveryBlockAndEverySaveHoldsOneWholeLoad)
{
    // Two threads load and save at once, as a host's autosave, undo snapshots and background
    // preset loads may, while a third processes. Enough of both that loads keep landing while
    // blocks are processed.
    constexpr int kMinLoads = 2000, kMinBlocks = 3000;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    const std::vector<char> bytes[2] = {StateBytes::make(2, kStateA), StateBytes::make(2, kStateB)};
    const std::vector<double> expected[2] = {asLoaded(kStateA), asLoaded(kStateB)};
    Instance i;
    i.host.setState(bytes[0]);
    ASSERT_EQ(i.block(), expected[0]);

    std::atomic<int> loaders{2}, blocks{0}, wrongSaves{0};
    auto loadAndSave = [&](int first) {
        for (int k = 0; k < kMinLoads || blocks < kMinBlocks; ++k)
        {
            i.host.setState(bytes[(first + k) % 2]);
            const std::vector<double> v = i.saved();
            wrongSaves += v != expected[0] && v != expected[1];
        }
        --loaders;
    };
    std::thread a(loadAndSave, 0), b(loadAndSave, 1);
    int mixedBlocks = 0, outOfRange = 0;
    for (; loaders > 0; ++blocks)
    {
        const std::vector<double> v = i.block();
        mixedBlocks += v != expected[0] && v != expected[1];
        outOfRange += !inRange(v);
        if (std::chrono::steady_clock::now() > deadline)
        {
            // Threads that hang cannot be joined: report and leave.
            ADD_FAILURE() << "state calls did not return";
            std::_Exit(1);
        }
    }
    a.join();
    b.join();

    EXPECT_EQ(mixedBlocks, 0) << "of " << blocks << " blocks";
    EXPECT_EQ(outOfRange, 0);
    EXPECT_EQ(wrongSaves, 0);
    EXPECT_EQ(i.block(), i.saved()); // the last load, at the very next block
}

TEST(StateHandover, AutomationWinsWithinItsBlockAndALaterLoadReplacesIt)
{
    const std::vector<double> a = asLoaded(kStateA), b = asLoaded(kStateB);
    Instance i;
    i.host.setState(StateBytes::make(2, kStateA));
    std::vector<double> automated = a;
    automated[kMasterMix] = 0.0;
    EXPECT_EQ(i.block({{kMasterMix, 0.0}}), automated);
    EXPECT_EQ(i.saved(), automated);

    i.host.setState(StateBytes::make(2, kStateB));
    EXPECT_EQ(i.saved(), b); // saved before the audio thread has taken the load
    EXPECT_EQ(i.block(), b);

    // A stream that ends early hands over the values it had, and only those.
    i.block({{kMasterMix, 1.0}});
    i.host.setState(StateBytes().i32(2).i32(12).f64(kStateA[0]).f64(kStateA[1]).get());
    std::vector<double> partly = b;
    partly[kPreDelay] = a[kPreDelay];
    partly[kDiffusion] = a[kDiffusion];
    partly[kMasterMix] = 100.0;
    EXPECT_EQ(i.saved(), partly);
    EXPECT_EQ(i.block(), partly);
}

TEST(StateHandover, NoStateCallHoldsALockWhileTheHostsStreamWorks)
{
    // Hosts that do a stream's I/O on their main thread may have that thread make another call
    // into the processor first; sample-rate changes and tail queries may cross on two threads.
    Instance i;
    const std::vector<char> bytes = StateBytes::make(2, kStateB);
    const std::function<void()> others[] = {[&] { i.saved(); },
                                            [&] { i.host.setState(bytes); },
                                            [&] {
                                                i.host.activate(false);
                                                i.host.activate(true);
                                            }};
    for (const auto& other : others)
    {
        HandOffStream load(other, StateBytes::make(2, kStateA)), save(other);
        EXPECT_EQ(i.host.component().setState(&load), kResultOk);
        EXPECT_EQ(i.host.component().getState(&save), kResultOk);
    }

    IPtr<VastoraProcessor> idle = owned(new VastoraProcessor);
    ProcessorHarness h(idle->unknownCast());
    h.initialize();
    uint32 tails[2];
    for (int k = 0; k < 2; ++k)
    {
        h.setup(k ? 96000.0 : 44100.0, 512);
        tails[k] = idle->getTailSamples();
    }
    std::thread rates([&] {
        for (int k = 0; k < 200; ++k)
            h.setup(k % 2 ? 96000.0 : 44100.0, 512);
    });
    for (int k = 0; k < 2000; ++k)
    {
        const uint32 tail = idle->getTailSamples();
        EXPECT_TRUE(tail == tails[0] || tail == tails[1]) << tail;
    }
    rates.join();
}
