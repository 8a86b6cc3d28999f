#include "support/ProcessorHarness.h"

#include "controller/VastoraIds.h"
#include "processor/VastoraProcessor.h"

#include <gtest/gtest.h>

using namespace corvella::testing;
using namespace corvella::vastora;
using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

std::string busName(IComponent& c, BusDirection dir)
{
    BusInfo info{};
    c.getBusInfo(kAudio, dir, 0, info);
    std::string name;
    for (const TChar* p = info.name; *p; ++p)
        name += static_cast<char>(*p);
    return name;
}

} // namespace

TEST(ProcessorBuses, InitializeAddsOneStereoInputAndOutputOnce)
{
    IPtr<VastoraProcessor> p = owned(new VastoraProcessor);
    ProcessorHarness h(p->unknownCast());
    EXPECT_EQ(h.initialize(), kResultOk);
    EXPECT_EQ(h.initialize(), kResultFalse); // host context already stored
    IComponent& c = h.component();
    EXPECT_EQ(c.getBusCount(kAudio, kInput), 1);
    EXPECT_EQ(c.getBusCount(kAudio, kOutput), 1);
    EXPECT_EQ(c.getBusCount(kEvent, kInput), 0);
    EXPECT_EQ(busName(c, kInput), "Stereo In");
    EXPECT_EQ(busName(c, kOutput), "Stereo Out");
    BusInfo info{};
    c.getBusInfo(kAudio, kOutput, 0, info);
    EXPECT_EQ(info.channelCount, 2);
    EXPECT_EQ(info.busType, kMain);
    EXPECT_EQ(info.flags, static_cast<uint32>(BusInfo::kDefaultActive));

    TUID controller;
    ASSERT_EQ(c.getControllerClassId(controller), kResultOk);
    EXPECT_EQ(FUID::fromTUID(controller), kControllerUID);
}

TEST(ProcessorBuses, ArrangementsNeedEqualChannelCountsOfOneOrTwo)
{
    using namespace SpeakerArr;
    struct Case
    {
        std::vector<SpeakerArrangement> ins, outs;
        tresult expected;
    };
    const Case cases[] = {
        {{kStereo}, {kStereo}, kResultTrue},
        {{kMono}, {kMono}, kResultTrue},
        {{kStereo}, {kStereoSurround}, kResultTrue}, // any two-channel pair
        {{kMono}, {kStereo}, kResultFalse},
        {{kStereo, kStereo}, {kStereo}, kResultFalse},
        {{}, {kStereo}, kResultFalse},
        {{k30Cine}, {k30Cine}, kResultFalse},
        {{kEmpty}, {kEmpty}, kResultFalse},
    };
    for (const Case& c : cases)
    {
        IPtr<VastoraProcessor> p = owned(new VastoraProcessor);
        ProcessorHarness h(p->unknownCast());
        h.initialize();
        std::vector<SpeakerArrangement> ins = c.ins, outs = c.outs;
        EXPECT_EQ(h.processor().setBusArrangements(ins.data(), int32(ins.size()), outs.data(), int32(outs.size())),
                  c.expected);
        SpeakerArrangement in = 0, out = 0;
        h.processor().getBusArrangement(kInput, 0, in);
        h.processor().getBusArrangement(kOutput, 0, out);
        if (c.expected == kResultTrue)
        {
            EXPECT_EQ(in, c.ins[0]);
            EXPECT_EQ(out, c.outs[0]);
        }
        else
        {
            EXPECT_EQ(in, kStereo);
            EXPECT_EQ(out, kStereo);
        }
    }

    // Before initialize there are no buses to arrange.
    IPtr<VastoraProcessor> bare = owned(new VastoraProcessor);
    ProcessorHarness h(bare->unknownCast());
    EXPECT_EQ(h.setBusArrangement(kStereo), kResultFalse);
}

TEST(ProcessorBuses, SampleSizesAndSetup)
{
    IPtr<VastoraProcessor> p = owned(new VastoraProcessor);
    ProcessorHarness h(p->unknownCast());
    h.initialize();
    EXPECT_EQ(h.processor().canProcessSampleSize(kSample32), kResultTrue);
    EXPECT_EQ(h.processor().canProcessSampleSize(kSample64), kResultTrue);
    EXPECT_EQ(h.processor().canProcessSampleSize(2), kResultFalse);
    EXPECT_EQ(h.setup(48000.0, 256, 2), kResultFalse);
    // The engine is prepared all the same: a valid block renders.
    h.activate(true);
    Channels<float> in(2, std::vector<float>(256, 0.25f));
    const Channels<float> out = h.render(in, 256);
    EXPECT_NE(out[0], std::vector<float>(256, 0.0f));
}
