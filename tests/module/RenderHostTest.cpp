// Audio through the loaded module, with automation and with the controller's edits relayed to
// the processor as a host relays them.
#include "host/TestHost.h"
#include "support/ProcessorHarness.h"
#include "support/StateBytes.h"

#include "public.sdk/source/common/memorystream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace corvella::testing;
using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

template <typename Sample>
Channels<Sample> noise(std::size_t frames, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-0.5f, 0.5f);
    Channels<Sample> c(2, std::vector<Sample>(frames));
    for (auto& ch : c)
        for (Sample& s : ch)
            s = static_cast<Sample>(dist(rng));
    return c;
}

// The controller's edits, as a host relays them to the processor's next block.
BlockChanges relayedEdits(TestHost& host)
{
    BlockChanges relayed;
    for (const Edit& e : host.handler().edits)
        if (e.kind == Edit::Perform)
            relayed.emplace_back(e.id, e.value);
    return relayed;
}

} // namespace

TEST(RenderHost, AutomationTakesTheMixToDryIn32And64Bit)
{
    for (int32 size : {kSample32, kSample64})
    {
        TestHost host;
        ProcessorHarness audio(host.componentUnknown());
        audio.start(48000.0, 32, size);
        // Automate MasterMix to 0 in the first block; the mix glides there block by block.
        const std::map<int, BlockChanges> automation = {{0, {{5, 0.0}}}};
        const std::size_t frames = 32 * 3000;
        bool dryAtEnd = true;
        if (size == kSample32)
        {
            const auto in = noise<float>(frames, 1);
            const auto out = audio.render(in, 32, automation);
            EXPECT_NE(out[0][100], in[0][100]); // still wet at first
            for (std::size_t i = frames - 1000; i < frames; ++i)
                dryAtEnd = dryAtEnd && out[0][i] == in[0][i] && out[1][i] == in[1][i];
        }
        else
        {
            const auto in = noise<double>(frames, 1);
            const auto out = audio.render(in, 32, automation);
            EXPECT_NE(out[0][100], in[0][100]);
            for (std::size_t i = frames - 1000; i < frames; ++i)
                dryAtEnd = dryAtEnd && out[0][i] == in[0][i] && out[1][i] == in[1][i];
        }
        EXPECT_TRUE(dryAtEnd) << "sample size " << size;
    }
}

TEST(RenderHost, ControllerEditsRelayedToTheProcessorMatchTheControllersValues)
{
    TestHost host;
    ProcessorHarness audio(host.componentUnknown());
    audio.start();
    host.handler().edits.clear();
    host.controller().setParamNormalized(0x7FFF0000, 10.0 / 13.0); // "[FP] State Capitol"

    const BlockChanges relayed = relayedEdits(host);
    ASSERT_EQ(relayed.size(), 12u);
    const auto out = audio.render(noise<float>(4096, 2), 512, {{0, relayed}});
    for (const auto& ch : out)
        for (float s : ch)
            ASSERT_TRUE(std::isfinite(s));

    const std::vector<double> values = StateBytes::values(audio.getState());
    const double expected[12] = {40, 100, 11000, 5.0, 40, 50, 9, 10, 0, 0, 25, 1.0};
    for (int id = 0; id < 12; ++id)
        EXPECT_NEAR(values[id], expected[id], 1e-9 * std::max(1.0, expected[id])) << id;
}

TEST(RenderHost, AProjectRestoredAfterAProgramChoiceOutlastsTheChoicesQueuedEdits)
{
    // A host that chooses the first program of every new instance, restores the project right
    // after, and delivers the edits it queued meanwhile at the next block.
    const std::vector<double> project = {100, 50, 2000, 3.5, 20, 80, 2, 5, -6, 6, 70, 0.5};
    for (bool programFirst : {true, false})
    {
        SCOPED_TRACE(programFirst ? "program chosen first" : "no program chosen");
        TestHost host;
        ProcessorHarness audio(host.componentUnknown());
        audio.start();
        host.handler().edits.clear();
        if (programFirst)
            host.controller().setParamNormalized(0x7FFF0000, 0.0);
        const std::size_t queued = host.handler().edits.size();
        ASSERT_EQ(audio.setState(StateBytes::make(2, project)), kResultOk);
        ASSERT_EQ(host.syncControllerToProcessor(), kResultOk);
        // Only a load after a preset's edits reports its own; a plain one reports nothing.
        EXPECT_EQ(host.handler().edits.size() - queued, programFirst ? 36u : 0u);

        audio.render(noise<float>(512, 3), 512, {{0, relayedEdits(host)}});
        MemoryStream controllerState;
        ASSERT_EQ(host.controller().getState(&controllerState), kResultOk);
        const std::vector<double> processorValues = StateBytes::values(audio.getState());
        const std::vector<double> controllerValues = StateBytes::values(
            std::vector<char>(controllerState.getData(), controllerState.getData() + controllerState.getSize()));
        for (int id = 0; id < 12; ++id)
        {
            const double tolerance = 1e-9 * std::max(1.0, std::fabs(project[id]));
            EXPECT_NEAR(processorValues[id], project[id], tolerance) << id;
            EXPECT_NEAR(controllerValues[id], project[id], tolerance) << id;
        }
    }
}
