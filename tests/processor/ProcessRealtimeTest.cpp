// What process() may not do on the audio thread: allocate or lock. This program replaces the
// global allocation functions (support/RealtimeWatch.cpp) to watch it.
#include "support/ProcessorHarness.h"
#include "support/RealtimeWatch.h"
#include "support/StateBytes.h"

#include "params/VastoraParams.h"
#include "processor/VastoraProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <mutex>
#include <string>

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
        std::lock_guard<std::mutex> lock(mutex);
        const long seen[] = {watch.allocations(), watch.frees(), watch.locks()};
        ASSERT_EQ(seen[0], 1);
        ASSERT_EQ(seen[1], 1);
        ASSERT_EQ(seen[2], RealtimeWatch::watchesLibc() ? 1 : 0);
    }
    for (const Layout& layout : kLayouts)
    {
        IPtr<VastoraProcessor> p = owned(new VastoraProcessor);
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

        long allocations = 0, frees = 0, locks = 0;
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
        }
        const std::string what = describe(layout);
        EXPECT_EQ(allocations, 0) << what;
        EXPECT_EQ(frees, 0) << what;
        EXPECT_EQ(locks, 0) << what;
        // The watched blocks did take the load and the automation.
        const std::vector<double> v = StateBytes::values(h.getState());
        EXPECT_EQ(v[kPreDelay], 100.0) << what;
        EXPECT_EQ(v[kMasterMix], 100.0) << what;
        EXPECT_EQ(v[kRoomSize], 9.0) << what;
    }
}

TEST(ProcessRealtime, OutOfMemoryAtSetupGivesSilenceUntilASetupSucceeds)
{
    for (const Layout& layout : kLayouts)
    {
        const std::string what = describe(layout);
        IPtr<VastoraProcessor> p = owned(new VastoraProcessor);
        ProcessorHarness h(p->unknownCast());
        h.initialize();
        h.setBusArrangement(layout.arrangement);
        {
            // The delay lines need far more than this; the working buffers for 256 frames less.
            FailingLargeAllocations outOfMemory(64 * 1024);
            EXPECT_EQ(h.setup(44100.0, 256, layout.sampleSize), kOutOfMemory) << what;
        }
        h.activate(true);
        for (const auto& ch : renderInPlace(h, layout, 2048))
            EXPECT_EQ(ch, std::vector<double>(2048, 0.0)) << what;

        h.activate(false);
        EXPECT_EQ(h.setup(44100.0, 256, layout.sampleSize), kResultOk) << what;
        h.activate(true);
        const Channels<double> out = renderInPlace(h, layout, 2048);
        EXPECT_NE(out[0], std::vector<double>(2048, 0.0)) << what;
        for (const auto& ch : out)
            for (double s : ch)
                ASSERT_TRUE(std::isfinite(s)) << what;
    }
}
