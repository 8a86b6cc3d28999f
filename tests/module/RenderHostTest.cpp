// Audio through the loaded module, with automation and with the controller's edits relayed to
// the processor as a host relays them.
#include "host/TestHost.h"
#include "support/ProcessorHarness.h"
#include "support/FactoryPresetValues.h"
#include "support/StateBytes.h"

#include "public.sdk/source/common/memorystream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <utility>

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

namespace {

constexpr ParamID kProgramChange = 0x7FFF0000;
const std::vector<double> kProject = {100, 50, 2000, 3.5, 20, 80, 2, 5, -6, 6, 70, 0.5};

std::vector<double> preset(int program)
{
    const auto& values = corvella::vastora::testing::kFactoryPresetValues[program];
    return {values.begin(), values.end()};
}

// How far the processor's or the controller's values, once the host has settled, are from those
// expected (relative to each value, at least 1).
double worstDeviation(TestHost& host, ProcessorHarness& audio, const std::vector<double>& expected)
{
    double worst = 0.0;
    for (const auto& values : {StateBytes::values(audio.getState()), StateBytes::values(controllerState(host.controller()))})
        for (std::size_t id = 0; id < 12; ++id)
            worst = std::max(worst, id < values.size() ? std::fabs(values[id] - expected[id]) / std::max(1.0, std::fabs(expected[id])) : 1.0);
    return worst;
}

} // namespace

TEST(RenderHost, AJuceHostReopensAProjectAsSaved)
{
    // JUCE's host (Carla and other JUCE-based hosts) keeps every parameter's value in a cache,
    // each with a flag "send at the next block". Creating the instance and opening the project
    // choose a program there. The state calls follow, with the cache re-read from the controller
    // after the processor's state only. At the next block flagged entries go to the processor
    // and then to the controller. An edit sets its entry and flags it.
    struct Row
    {
        const char* what;
        std::vector<double> processor, controller;
        int32 program;
    };
    const Row rows[] = {
        {"program 3, values changed", kProject, kProject, 3},
        {"program 13 alone", preset(13), preset(13), 13},
        {"program 0, values changed", kProject, kProject, 0},
        {"saved between a program change and the block that sent it", kProject, preset(3), 3},
    };
    for (const Row& row : rows)
    {
        TestHost host;
        ProcessorHarness audio(host.componentUnknown());
        audio.start();
        std::map<ParamID, std::pair<double, bool>> cache;
        cache[kProgramChange] = {row.program / 13.0, true};
        host.handler().edits.clear();
        ASSERT_EQ(audio.setState(StateBytes::make(2, row.processor)), kResultOk);
        ASSERT_EQ(host.syncControllerToProcessor(), kResultOk);
        for (ParamID id : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 11u, kProgramChange})
            cache[id].first = host.controller().getParamNormalized(id);
        ASSERT_EQ(loadControllerState(host.controller(), StateBytes::make(2, row.controller, true, row.program)), kResultOk);
        // What the first block sends the controller may make it edit again.
        for (int block = 0; block < 2; ++block)
        {
            for (const Edit& e : host.handler().edits)
                if (e.kind == Edit::Perform)
                    cache[e.id] = {e.value, true};
            host.handler().edits.clear();
            BlockChanges sent;
            for (auto& [id, entry] : cache)
                if (std::exchange(entry.second, false))
                    sent.emplace_back(id, entry.first);
            audio.render(noise<float>(64, 3), 64, {{0, sent}});
            for (const auto& [id, value] : sent)
                host.controller().setParamNormalized(id, value);
        }
        EXPECT_LT(worstDeviation(host, audio, row.controller), 1e-9) << row.what;
        EXPECT_EQ(StateBytes::readI32(controllerState(host.controller()), 104), row.program) << row.what;
        for (ParamID id = 0; id < 12; ++id)
            EXPECT_NEAR(cache[id].first, host.controller().getParamNormalized(id), 1e-12) << row.what << ", host, id " << id;
    }
}

TEST(RenderHost, ArdourReopensASessionAsSavedWithoutAGesture)
{
    // Ardour reopens a session by choosing its last program through the controller, after its
    // automation lanes are restored, then hands over both states; it passes every edit back to
    // the controller at once, and edits reach the processor at its next block. It takes a
    // gesture for a user's touch, which writes automation over the lanes: nothing of the restore,
    // the program included, may report one. Without a program chosen first, a load reports
    // nothing at all.
    for (bool programFirst : {true, false})
    {
        const char* what = programFirst ? "program chosen first" : "no program chosen";
        TestHost host;
        ProcessorHarness audio(host.componentUnknown());
        audio.start();
        host.handler().edits.clear();
        host.handler().onPerform = [&](ParamID id, double value) { host.controller().setParamNormalized(id, value); };
        if (programFirst)
            host.controller().setParamNormalized(kProgramChange, 10.0 / 13.0);
        const std::size_t beforeLoad = host.handler().edits.size();
        ASSERT_EQ(audio.setState(StateBytes::make(2, kProject)), kResultOk);
        ASSERT_EQ(host.syncControllerToProcessor(), kResultOk);
        ASSERT_EQ(loadControllerState(host.controller(), StateBytes::make(2, kProject, true, -1)), kResultOk);
        host.handler().onPerform = nullptr;
        EXPECT_EQ(host.handler().edits.size() - beforeLoad, programFirst ? 12u : 0u) << what;
        for (const Edit& e : host.handler().edits)
            EXPECT_EQ(e.kind, Edit::Perform) << what;

        audio.render(noise<float>(64, 3), 64, {{0, relayedEdits(host)}});
        EXPECT_LT(worstDeviation(host, audio, kProject), 1e-9) << what;
    }
}
