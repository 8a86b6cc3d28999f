// What process() may not do on the audio thread: allocate or lock. This program replaces the
// global allocation functions (support/RealtimeWatch.cpp) to watch it.
#include "support/ProcessorHarness.h"
#include "support/RealtimeWatch.h"
#include "support/StateBytes.h"

#include "engine/ReverbEngineProbe.h"
#include "params/VastoraParams.h"
#include "processor/VastoraProcessor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

using namespace corvella::testing;
using namespace corvella::vastora;
using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

struct Layout
{
    int32 sampleSize;
    SpeakerArrangement arrangement;
};
const Layout kLayouts[] = {{kSample32, SpeakerArr::kMono},
                           {kSample32, SpeakerArr::kStereo},
                           {kSample64, SpeakerArr::kMono},
                           {kSample64, SpeakerArr::kStereo}};

std::string describe(const Layout& layout)
{
    return (layout.sampleSize == kSample64 ? "64-bit " : "32-bit ") +
           std::string(layout.arrangement == SpeakerArr::kMono ? "mono" : "stereo");
}

// Shows what the engine was handed, which is what the blocks took.
class ProbedProcessor : public VastoraProcessor
{
public:
    const ReverbParams& engineParams() const { return ReverbEngineProbe{engine}.params(); }
};

const std::vector<double> kLoaded = {100, 50, 2000, 3.5, 20, 80, 2, 5, -6, 6, 70, 0.5};

template <typename Sample>
Channels<Sample> ramp(int channels, std::size_t frames)
{
    Channels<Sample> c(static_cast<std::size_t>(channels), std::vector<Sample>(frames));
    for (auto& ch : c)
        for (std::size_t n = 0; n < frames; ++n)
            ch[n] = Sample(std::sin(0.01 * double(n)));
    return c;
}

// Renders ramp() in place: what the processor does not overwrite stays non-zero.
Channels<double> renderInPlace(ProcessorHarness& h, const Layout& layout, std::size_t frames)
{
    const int channels = layout.arrangement == SpeakerArr::kMono ? 1 : 2;
    if (layout.sampleSize == kSample64)
        return h.render(ramp<double>(channels, frames), 256, {}, true);
    Channels<double> out;
    for (const auto& ch : h.render(ramp<float>(channels, frames), 256, {}, true))
        out.emplace_back(ch.begin(), ch.end());
    return out;
}

} // namespace

TEST(ProcessRealtime, ProcessNeitherAllocatesNorLocks)
{
    {
        // The watch sees what it is meant to see.
        std::mutex mutex;
        RealtimeWatch watch;
        int* volatile allocated = new int(1); // volatile: the pair may not be optimised away
        delete allocated;
        void* aligned = nullptr;
        ASSERT_EQ(posix_memalign(&aligned, 64, 64), 0);
        std::free(aligned);
        std::lock_guard<std::mutex> lock(mutex);
        std::this_thread::yield();
        const long seen[] = {watch.allocations(), watch.frees(), watch.locks(), watch.yields()};
        const long libc = RealtimeWatch::watchesLibc() ? 1 : 0;
        ASSERT_EQ(seen[0], 1 + libc);
        ASSERT_EQ(seen[1], 1 + libc);
        ASSERT_EQ(seen[2], libc);
        ASSERT_EQ(seen[3], 1);
    }
    for (const Layout& layout : kLayouts)
    {
        IPtr<ProbedProcessor> p = owned(new ProbedProcessor);
        ProcessorHarness h(p->unknownCast());
        h.start(44100.0, 256, layout.sampleSize, layout.arrangement);
        HostProcessData data;
        data.prepare(h.component(), 1000, layout.sampleSize);
        // Automation as hosts send it (several points per queue), and a state load waiting for
        // the audio thread.
        ParameterChanges changes(16);
        int32 index = 0;
        for (ParamID id : {kMasterMix, kReverbTime, kRoomSize})
            for (int32 offset : {0, 100, 255})
                changes.addParameterData(id, index)->addPoint(offset, offset / 255.0, index);
        data.inputParameterChanges = &changes;
        ASSERT_EQ(h.setState(StateBytes::make(2, kLoaded)), kResultOk);

        long allocations = 0, frees = 0, locks = 0, yields = 0;
        {
            RealtimeWatch watch;
            for (int32 block = 0; block < 8; ++block)
            {
                data.numSamples = block % 4 == 3 ? 1000 : 256; // also larger than announced
                p->process(data);
            }
            allocations = watch.allocations();
            frees = watch.frees();
            locks = watch.locks();
            yields = watch.yields();
        }
        const std::string what = describe(layout);
        EXPECT_EQ(allocations, 0) << what;
        EXPECT_EQ(frees, 0) << what;
        EXPECT_EQ(locks, 0) << what;
        EXPECT_EQ(yields, 0) << what;
        // The watched blocks did take the load and the automation.
        const ReverbParams& engine = p->engineParams();
        EXPECT_EQ(engine.preDelay, 100.0) << what;
        EXPECT_EQ(engine.mix, 100.0) << what;
        EXPECT_EQ(engine.roomSize, 9) << what;
    }
}

TEST(ProcessRealtime, OutOfMemoryAtSetupGivesSilenceUntilASetupSucceeds)
{
    struct Case
    {
        Layout layout;
        std::size_t failFrom; // bytes
        int32 maxBlock;
    };
    const Case cases[] = {
        // The delay lines need far more than 64 KB; the working buffers for 256 frames less.
        {kLayouts[0], 64 * 1024, 256},
        {kLayouts[1], 64 * 1024, 256},
        {kLayouts[2], 64 * 1024, 256},
        {kLayouts[3], 64 * 1024, 256},
        // The delay lines fit in 8 MB; the 64-bit working buffers for 2^20 frames do not.
        {kLayouts[3], 8 << 20, 1 << 20},
    };
    for (const Case& c : cases)
    {
        const Layout& layout = c.layout;
        const std::string what = describe(layout) + ", block " + std::to_string(c.maxBlock);
        IPtr<VastoraProcessor> p = owned(new VastoraProcessor);
        ProcessorHarness h(p->unknownCast());
        h.initialize();
        h.setBusArrangement(layout.arrangement);
        {
            FailingLargeAllocations outOfMemory(c.failFrom);
            EXPECT_EQ(h.setup(44100.0, c.maxBlock, layout.sampleSize), kOutOfMemory) << what;
        }
        h.activate(true);
        for (const auto& ch : renderInPlace(h, layout, 2048))
            EXPECT_EQ(ch, std::vector<double>(2048, 0.0)) << what;

        h.activate(false);
        EXPECT_EQ(h.setup(44100.0, c.maxBlock, layout.sampleSize), kResultOk) << what;
        h.activate(true);
        const Channels<double> out = renderInPlace(h, layout, 2048);
        EXPECT_NE(out[0], std::vector<double>(2048, 0.0)) << what;
        for (const auto& ch : out)
            for (double s : ch)
                ASSERT_TRUE(std::isfinite(s)) << what;
    }
}

TEST(ProcessRealtime, TailIsAnsweredWithoutWaitingForAStateLoad)
{
    // Hosts may ask for the tail on the audio thread while the main thread loads a state.
    IPtr<VastoraProcessor> p = owned(new VastoraProcessor);
    ProcessorHarness h(p->unknownCast());
    h.start(44100.0, 256);
    std::vector<double> other = kLoaded;
    other[kPreDelay] = 400.0;
    other[kReverbTime] = 0.4;
    const std::vector<char> bytes[2] = {StateBytes::make(2, kLoaded), StateBytes::make(2, other)};
    const auto tailOf = [](double preDelay, double reverbTime) {
        return static_cast<uint32>(std::ceil((preDelay * 0.001 + 2.0 * reverbTime) * 44100.0));
    };
    // Each value is one of its two loaded values (give or take the rounding of loading).
    const uint32 shortest = tailOf(100.0, 0.4) - 1, longest = tailOf(400.0, 3.5) + 1;
    h.setState(bytes[1]);

    constexpr int kLoads = 100000;
    std::atomic<bool> loading{true};
    std::thread loader([&] {
        for (int n = 0; n < kLoads; ++n)
            h.setState(bytes[n % 2]);
        loading = false;
    });
    long yields = 0, allocations = 0, outside = 0;
    {
        RealtimeWatch watch;
        while (loading)
        {
            const uint32 tail = p->getTailSamples();
            outside += tail < shortest || tail > longest;
        }
        yields = watch.yields();
        allocations = watch.allocations();
    }
    loader.join();
    EXPECT_EQ(yields, 0);
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(outside, 0);
    EXPECT_NEAR(p->getTailSamples(), tailOf(400.0, 0.4), 1.0); // the last load
}

TEST(ProcessRealtime, StatesAreLoadedAndSavedWithoutMemoryToSpare)
{
    IPtr<VastoraProcessor> p = owned(new VastoraProcessor);
    ProcessorHarness h(p->unknownCast());
    h.initialize();
    std::vector<char> bytes = StateBytes::make(2, kLoaded);
    MemoryStream in(bytes.data(), static_cast<TSize>(bytes.size()));
    MemoryStream out; // grows with malloc, which does not fail here
    tresult loaded = kResultFalse, saved = kResultFalse;
    {
        FailingLargeAllocations outOfMemory(1);
        EXPECT_NO_THROW(loaded = p->setState(&in));
        EXPECT_NO_THROW(saved = p->getState(&out));
    }
    EXPECT_EQ(loaded, kResultOk);
    ASSERT_EQ(saved, kResultOk);
    const std::vector<double> v = StateBytes::values(std::vector<char>(out.getData(), out.getData() + out.getSize()));
    EXPECT_EQ(v[kPreDelay], 100.0);
    EXPECT_EQ(v[kMasterMix], 80.0);
}
