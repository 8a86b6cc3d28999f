// Framework behaviour of CvEditController that the product's own data does not reach: other
// preset lists, odd state streams, unknown IDs.
#include "controller/CvEditController.h"
#include "params/VastoraParams.h"
#include "support/ProcessorHarness.h"
#include "support/StateBytes.h"

#include "host/TestHost.h"
#include "pluginterfaces/vst/ivstunits.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

using namespace corvella;
using namespace corvella::testing;
using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

class PresetController : public CvEditController
{
public:
    explicit PresetController(std::vector<CvFactoryPreset> presets, bool none = false)
        : CvEditController(vastora::parameterSpecs(), vastora::kParamCount), presets(std::move(presets)), none(none)
    {
    }
    const std::vector<CvFactoryPreset>* getFactoryPresets() override { return none ? nullptr : &presets; }

private:
    std::vector<CvFactoryPreset> presets;
    bool none;
};

std::vector<CvFactoryPreset> threePresets()
{
    return {{"Short", {{0, 10.0}, {3, 0.5}}},
            {"Odd", {{77, 1.0}, {5, 20.0}}}, // ID 77 is no parameter
            {"Long", {{3, 12.0}}}};
}

struct Fixture
{
    IPtr<PresetController> controller;
    HostApplication host;
    RecordingHandler handler;
    explicit Fixture(std::vector<CvFactoryPreset> presets, bool none = false)
        : controller(owned(new PresetController(std::move(presets), none)))
    {
        controller->initialize(&host);
        controller->setComponentHandler(&handler);
    }
    ~Fixture()
    {
        controller->setComponentHandler(nullptr);
        controller->terminate();
    }
    // The controller's own state, or with fromProcessor the processor's.
    tresult load(const std::vector<char>& bytes, bool fromProcessor = false)
    {
        std::vector<char> copy = bytes;
        MemoryStream stream(copy.data(), TSize(copy.size()));
        return fromProcessor ? controller->setComponentState(&stream) : controller->setState(&stream);
    }
    std::vector<char> save()
    {
        MemoryStream stream;
        EXPECT_EQ(controller->getState(&stream), kResultOk);
        return std::vector<char>(stream.getData(), stream.getData() + stream.getSize());
    }
    double plain(ParamID id)
    {
        return CvParameterSet::toPlain(*controller->getParameterSet().findSpec(id), controller->getParamNormalized(id));
    }
};

const std::vector<double> kValues = {100, 50, 2000, 3.5, 20, 80, 2, 5, -6, 6, 70, 0.5};

} // namespace

TEST(CvEditController, WithoutPresetsThereIsNoProgramListButTheIndexIsKept)
{
    for (bool none : {true, false})
    {
        Fixture f({}, none);
        EXPECT_EQ(f.controller->getParameterCount(), 12);
        EXPECT_EQ(f.controller->getUnitCount(), 0);
        EXPECT_EQ(f.controller->getProgramListCount(), 0);
        ASSERT_EQ(f.load(StateBytes::make(2, kValues, true, 5)), kResultOk);
        EXPECT_EQ(f.controller->getCurrentProgram(), 5);
        EXPECT_EQ(StateBytes::readI32(f.save(), 104), 5);
    }
}

TEST(CvEditController, ProgramValuesMapToTheNearestPreset)
{
    Fixture single({{"Only", {{0, 10.0}}}});
    for (double v : {0.0, 0.3, 1.0})
    {
        single.controller->setParamNormalized(kProgramListId, v);
        EXPECT_EQ(single.controller->getCurrentProgram(), 0) << v;
    }

    Fixture f(threePresets());
    f.controller->setParamNormalized(kProgramListId, 0.74); // 1.48 -> 1
    EXPECT_EQ(f.controller->getCurrentProgram(), 1);
    f.controller->setParamNormalized(kProgramListId, 0.75); // 1.5 -> 2
    EXPECT_EQ(f.controller->getCurrentProgram(), 2);
    f.controller->setParamNormalized(kProgramListId, 0.0);
    EXPECT_EQ(f.controller->getCurrentProgram(), 0);
}

TEST(CvEditController, PresetEntriesForUnknownIdsAreSkippedWithoutEdits)
{
    Fixture f(threePresets());
    f.controller->setParamNormalized(kProgramListId, 0.5); // "Odd"
    ASSERT_EQ(f.handler.edits.size(), 3u);
    EXPECT_EQ(f.handler.edits[0].id, 5u);
    EXPECT_DOUBLE_EQ(f.plain(5), 20.0);
}

TEST(CvEditController, ApplyingAPresetDirectlyLeavesTheCurrentProgram)
{
    Fixture f(threePresets());
    f.controller->applyFactoryPreset(2);
    EXPECT_NEAR(f.plain(3), 12.0, 1e-9);
    EXPECT_EQ(f.controller->getCurrentProgram(), -1);
    f.handler.edits.clear();
    f.controller->applyFactoryPreset(3);
    f.controller->applyFactoryPreset(-1);
    EXPECT_TRUE(f.handler.edits.empty());
}

TEST(CvEditController, StateStreamsOfEveryShape)
{
    std::vector<double> twenty = kValues;
    twenty.resize(20, 1.0);
    struct Case
    {
        const char* what;
        std::vector<char> bytes;
        tresult result;
        int valuesSet; // how many leading parameters took kValues
        int32 program; // expected current program afterwards
        bool fromProcessor = false;
    };
    const Case cases[] = {
        {"count 20", StateBytes::make(2, twenty, true, 2), kResultOk, 12, 2},
        {"count 5", StateBytes().i32(2).i32(5).f64(100).f64(50).f64(2000).f64(3.5).f64(20).i32(2).get(), kResultOk, 5, 2},
        {"program 3 is outside", StateBytes::make(2, kValues, true, 3), kResultOk, 12, -1},
        {"program -3", StateBytes::make(2, kValues, true, -3), kResultOk, 12, -1},
        {"version 1", StateBytes::make(1, kValues, false), kResultOk, 12, 1},
        {"missing program", StateBytes::make(2, kValues, false), kResultOk, 12, 1},
        {"short values", StateBytes().i32(2).i32(12).f64(100).f64(50).get(), kResultFalse, 2, 1},
        {"short header", StateBytes().i32(2).get(), kResultFalse, 0, 1},
        {"processor's program 2", StateBytes::make(2, kValues, true, 2), kResultOk, 12, -1, true},
        {"processor's version 1", StateBytes::make(1, kValues, false), kResultOk, 12, 1, true},
        {"processor's short values", StateBytes().i32(2).i32(12).f64(100).get(), kResultFalse, 1, 1, true},
    };
    for (const Case& c : cases)
    {
        Fixture f(threePresets());
        f.controller->setParamNormalized(kProgramListId, 0.5); // current program 1
        f.handler.edits.clear();
        EXPECT_EQ(f.load(c.bytes, c.fromProcessor), c.result) << c.what;
        // Loading never applies a preset. As a preset was chosen before, a load that succeeds
        // tells the host the values it loaded, and a program it names, with no gesture.
        std::vector<Edit> reported;
        for (ParamID id = 0; c.result == kResultOk && id < ParamID(vastora::kParamCount); ++id)
            reported.push_back({Edit::Perform, id, f.controller->getParamNormalized(id)});
        if (c.result == kResultOk && !c.fromProcessor && c.program == 2)
            reported.push_back({Edit::Perform, kProgramListId, 1.0});
        EXPECT_EQ(f.handler.edits, reported) << c.what;
        EXPECT_EQ(f.controller->getCurrentProgram(), c.program) << c.what;
        for (int id = 0; id < c.valuesSet; ++id)
            EXPECT_NEAR(f.plain(ParamID(id)), kValues[std::size_t(id)], 1e-9 * std::max(1.0, std::fabs(kValues[std::size_t(id)])))
                << c.what << " id " << id;
        if (c.program == -1)
        {
            EXPECT_EQ(f.controller->getParamNormalized(kProgramListId), 0.0) << c.what;
        }
    }
}

TEST(CvEditController, SecondInitializeAndBadStreamsAreRefused)
{
    Fixture f(threePresets());
    HostApplication another;
    EXPECT_EQ(f.controller->initialize(&another), kResultFalse);
    EXPECT_EQ(f.controller->getParameterCount(), 13);
    EXPECT_EQ(f.controller->getState(nullptr), kInvalidArgument);
    EXPECT_EQ(f.controller->setComponentState(nullptr), kInvalidArgument);
    EXPECT_EQ(f.controller->setState(nullptr), kInvalidArgument);
    RefusingStream full(60);
    EXPECT_EQ(f.controller->getState(&full), kResultFalse);
    EXPECT_EQ(f.controller->getCurrentProgram(), -1);
    EXPECT_EQ(StateBytes::readI32(f.save(), 104), -1);
}

TEST(CvEditController, StateCallsAndProgramChangesOnSeveralThreadsNeitherMixNorLose)
{
    // Loads on one thread, program changes on another, saves on a third, and a host that takes
    // its time over each edit. Two presets and two states that set every value: each save, and
    // each run of twelve edits the host hears, holds one of them whole; no program change is lost
    // to a load; no load's edits carry a gesture.
    const std::vector<double> other = {400, 90, 12000, 0.4, 70, 30, 8, 1, 3, -9, 10, 1.3};
    std::vector<CvFactoryPreset> presets(2);
    for (std::size_t id = 0; id < 12; ++id)
    {
        presets[0].values.emplace_back(ParamID(id), kValues[id]);
        presets[1].values.emplace_back(ParamID(id), other[id]);
    }
    Fixture f(presets);
    // States name no program, so that every program change below is a change.
    const std::vector<char> states[2] = {StateBytes::make(2, kValues, true, -1), StateBytes::make(2, other, true, -1)};
    std::vector<double> saved[2], heard[2];
    for (int k = 1; k >= 0; --k)
    {
        f.load(states[k]);
        saved[k] = StateBytes::values(f.save());
        for (ParamID id = 0; id < 12; ++id)
            heard[k].push_back(f.controller->getParamNormalized(id));
    }
    f.handler.edits.clear();
    f.handler.performTime = std::chrono::microseconds(20);
    constexpr int kCalls = 200;
    std::atomic<int> running{2};
    std::thread loader([&] {
        for (int k = 0; k < kCalls; ++k)
            f.load(states[k % 2]);
        --running;
    });
    std::thread chooser([&] {
        for (int k = 0; k < kCalls; ++k)
            f.controller->setParamNormalized(kProgramListId, k % 2);
        --running;
    });
    int saves = 0, mixedSaves = 0;
    for (; running > 0; ++saves)
    {
        const std::vector<double> v = StateBytes::values(f.save());
        mixedSaves += v != saved[0] && v != saved[1];
    }
    loader.join();
    chooser.join();
    EXPECT_EQ(mixedSaves, 0) << "of " << saves << " saves";

    std::vector<double> run;
    int gestures = 0, mixedRuns = 0;
    for (const Edit& e : f.handler.edits)
    {
        gestures += e.kind == Edit::Begin;
        if (e.kind != Edit::Perform || e.id >= 12)
            continue;
        mixedRuns += e.id != run.size();
        run.push_back(e.value);
        if (run.size() == 12)
        {
            mixedRuns += run != heard[0] && run != heard[1];
            run.clear();
        }
    }
    EXPECT_EQ(mixedRuns, 0);
    EXPECT_TRUE(run.empty());
    EXPECT_EQ(gestures, 12 * kCalls); // every program change, and only those
}

TEST(CvEditController, NoStateCallHoldsALockWhileTheHostsStreamWorks)
{
    // Hosts that do a stream's I/O on their main thread may have that thread make another call
    // into the controller first.
    Fixture f(threePresets());
    const std::function<void()> others[] = {[&] { f.save(); },
                                            [&] { f.load(StateBytes::make(2, kValues)); },
                                            [&] { f.controller->setParamNormalized(kProgramListId, 1.0); }};
    for (const auto& other : others)
        for (bool fromProcessor : {false, true})
        {
            HandOffStream load(other, StateBytes::make(2, kValues)), save(other);
            EXPECT_EQ(fromProcessor ? f.controller->setComponentState(&load) : f.controller->setState(&load), kResultOk);
            EXPECT_EQ(f.controller->getState(&save), kResultOk);
        }
}
