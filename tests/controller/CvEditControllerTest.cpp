// Framework behaviour of CvEditController that the product's own data does not reach: other
// preset lists, odd state streams, unknown IDs.
#include "controller/CvEditController.h"
#include "params/VastoraParams.h"
#include "support/ProcessorHarness.h"
#include "support/StateBytes.h"

#include "host/TestHost.h"
#include "pluginterfaces/vst/ivstunits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <map>
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
const std::vector<double> kOther = {400, 90, 12000, 0.4, 70, 30, 8, 1, 3, -9, 10, 1.3};
const std::vector<double> kThird = {5, 10, 300, 9.0, 50, 60, 4, 9, -12, 0, 40, 0.2};

// One preset per value list, each naming all twelve parameters.
std::vector<CvFactoryPreset> presetsOf(const std::vector<std::vector<double>>& lists)
{
    std::vector<CvFactoryPreset> presets(lists.size());
    for (std::size_t p = 0; p < lists.size(); ++p)
        for (std::size_t id = 0; id < lists[p].size(); ++id)
            presets[p].values.emplace_back(ParamID(id), lists[p][id]);
    return presets;
}

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
    ASSERT_EQ(f.handler.edits.size(), 1u);
    EXPECT_EQ(f.handler.edits[0], (Edit{Edit::Perform, 5, 0.2}));
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
        f.controller->setParamNormalized(kProgramListId, 0.5); // current program 1: the host hears 5
        std::vector<double> before;
        for (ParamID id = 0; id < ParamID(vastora::kParamCount); ++id)
            before.push_back(f.controller->getParamNormalized(id));
        f.handler.edits.clear();
        EXPECT_EQ(f.load(c.bytes, c.fromProcessor), c.result) << c.what;
        // Loading never applies a preset. The host is told, with no gesture, the loaded value it
        // heard otherwise (5), what the controller's own state changed, and a program it names.
        std::vector<Edit> reported;
        for (ParamID id = 0; id < ParamID(std::min(c.valuesSet, vastora::kParamCount)); ++id)
        {
            const double now = f.controller->getParamNormalized(id);
            if (id == 5 || (!c.fromProcessor && std::fabs(now - before[id]) > 1e-12))
                reported.push_back({Edit::Perform, id, now});
        }
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
    // its time over each edit. Two presets and two states that set every value: each save holds
    // one of them whole; no program change is lost to a load; nothing carries a gesture; and once
    // all calls are done, the last value the host heard of each parameter is the controller's.
    Fixture f(presetsOf({kValues, kOther}));
    // States name no program, so that every program change below is a change.
    const std::vector<char> states[2] = {StateBytes::make(2, kValues, true, -1), StateBytes::make(2, kOther, true, -1)};
    std::vector<double> saved[2];
    for (int k = 1; k >= 0; --k)
    {
        f.load(states[k]);
        saved[k] = StateBytes::values(f.save());
    }
    f.handler.edits.clear();
    f.handler.performTime = std::chrono::microseconds(20);
    constexpr int kCalls = 200;
    std::atomic<int> running{2};
    std::atomic<int> lost{0};
    std::thread loader([&] {
        for (int k = 0; k < kCalls; ++k)
            f.load(states[k % 2]);
        --running;
    });
    std::thread chooser([&] {
        for (int k = 0; k < kCalls; ++k)
        {
            f.controller->setParamNormalized(kProgramListId, k % 2);
            // A load may follow at once (no program), but the one chosen before must not stand.
            lost += f.controller->getCurrentProgram() == (k + 1) % 2;
        }
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
    EXPECT_EQ(lost, 0);

    std::map<ParamID, double> heard;
    for (const Edit& e : f.handler.edits)
    {
        EXPECT_EQ(e.kind, Edit::Perform);
        heard[e.id] = e.value;
    }
    EXPECT_EQ(heard.size(), 12u);
    for (const auto& [id, value] : heard)
        EXPECT_EQ(value, f.controller->getParamNormalized(id)) << id;
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

TEST(CvEditController, HostsThatEchoReenterOrEditMeanwhileEndOnTheControllersValues)
{
    // Stand-ins for what hosts do around a report: hand each edit back at once (JUCE's host, as
    // float), call the controller from inside it, let the user or another thread work meanwhile,
    // or load twice before a block. Once every call has returned, the last value the host heard
    // of each parameter (and of the program, while one is current) is the controller's; the
    // controller holds one whole state where the row names them; a processor that took the last
    // state and then the host's edits holds the controller's values; and a host that hands back
    // at the next block what it heard (JUCE's) changes nothing. The presets are none of the
    // states, so a preset applied over a load shows.
    const std::vector<double> kFourth = {250, 70, 800, 1.2, 35, 45, 6, 3, -3, 3, 55, 0.9};
    const std::vector<double> kFifth = {30, 20, 9000, 5.0, 10, 90, 1, 7, -15, 9, 95, 1.1};
    const std::vector<char> a = StateBytes::make(2, kOther), b = StateBytes::make(2, kThird), back = StateBytes::make(2, kValues);
    const std::vector<char> namingOne = StateBytes::make(2, kOther, true, 1), namingTwo = StateBytes::make(2, kThird, true, 2);
    using Hook = std::function<void(Fixture&, ParamID, double)>;
    std::atomic<int> performed{0}, ownEdits{0};
    std::atomic<bool> done{false}, heldTooLong{false};
    std::atomic<std::thread::id> caller{};
    std::thread other;
    // Runs `meanwhile` inside the first edit (of the program only, with `program`).
    const auto first = [&](std::function<void(Fixture&)> meanwhile, bool program = false) -> Hook {
        return [&, meanwhile, program](Fixture& f, ParamID id, double) {
            if ((!program || id == kProgramListId) && performed++ == 0)
                meanwhile(f);
        };
    };
    const auto choose = [](Fixture& f, double value) { f.controller->setParamNormalized(kProgramListId, value); };
    struct Row
    {
        const char* what;
        int trials;
        Hook hook;
        std::function<void(Fixture&)> run;
        std::vector<std::vector<double>> wholes; // what the controller may end on
        const std::vector<char>* processor;      // the state the processor took last
        std::size_t maxEdits = 100;              // the latest of each, no history
    };
    const Row rows[] = {
        {"a load from inside each report", 1,
         [&](Fixture& f, ParamID, double) {
             if (++performed < 10000) // before the fix: reports forever
                 f.load(a, true);
         },
         [&](Fixture& f) { choose(f, 0.5); }, {kOther}, &a},
        {"a processor state back to what the host heard, from inside a preset's first edit", 1,
         first([&](Fixture& f) { f.load(back, true); }), [&](Fixture& f) { choose(f, 0.5); }, {kValues}, &back},
        {"a processor state from inside the report of a loaded program", 1,
         first([&](Fixture& f) { f.load(a, true); }, true),
         [&](Fixture& f) {
             f.load(namingTwo);
             // No program is current: the host is not told the first one.
             EXPECT_EQ(std::count(f.handler.edits.begin(), f.handler.edits.end(), Edit{Edit::Perform, kProgramListId, 0.0}), 0);
         },
         {kOther}, &a},
        {"a state naming another program loaded on another thread while the host, echoing, hears the program", 1,
         [&](Fixture& f, ParamID id, double v) {
             first([&](Fixture& f) { std::thread([&] { f.load(namingTwo); }).join(); }, true)(f, id, v);
             f.controller->setParamNormalized(id, float(v));
         },
         [&](Fixture& f) { f.load(namingOne); }, {kThird}, nullptr},
        {"two loads before one block", 1, nullptr,
         [&](Fixture& f) {
             f.load(a, true);
             f.load(b, true);
         },
         {kThird}, &b},
        {"the editor's edit reaching the host after a load replaced it", 1, nullptr,
         [&](Fixture& f) {
             f.controller->setParamNormalized(5, 0.123);
             f.load(a, true);
             f.controller->performEdit(5, 0.123);
         },
         {kOther}, &a},
        {"20,000 program changes while the host holds another thread's report", 1,
         [&](Fixture&, ParamID, double) {
             const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
             if (performed++ == 0)
                 while (!done && !(heldTooLong = std::chrono::steady_clock::now() > deadline))
                     std::this_thread::yield();
         },
         [&](Fixture& f) {
             std::thread holder([&] { choose(f, 0.5); });
             while (performed == 0)
                 std::this_thread::yield();
             for (int k = 1; k <= 20000; ++k) // each returns at once, leaving its edits to the other
                 choose(f, (k % 2) * 0.5);
             done = true;
             holder.join();
         },
         {kValues}, nullptr},
        {"a program change while another thread starts loading and keeps on", 5,
         [&](Fixture& f, ParamID, double) {
             ownEdits += std::this_thread::get_id() == caller;
             if (performed++ == 0)
                 other = std::thread([&] {
                     for (int k = 0; !done && k < 200000; ++k)
                         f.load(k % 2 ? a : b, true);
                 });
         },
         [&](Fixture& f) {
             caller = std::this_thread::get_id();
             choose(f, 0.5);
             caller = std::thread::id();
             done = true;
             other.join();
             EXPECT_LT(ownEdits, 50); // it hands the loader's edits over once it has sent one
         },
         {}, nullptr, SIZE_MAX},
    };
    for (const Row& row : rows)
        for (int trial = 0; trial < row.trials; ++trial)
        {
            Fixture f(presetsOf({kValues, kFourth, kFifth}));
            f.handler.performTime = std::chrono::microseconds(row.trials > 1 ? 20 : 0);
            choose(f, 0.0); // the host hears a preset: loads then report what differs
            f.handler.edits.clear();
            performed = 0;
            ownEdits = 0;
            done = false;
            if (row.hook)
                f.handler.onPerform = [&](ParamID id, double v) { row.hook(f, id, v); };
            row.run(f);
            f.handler.onPerform = nullptr;
            EXPECT_LT(f.handler.edits.size(), row.maxEdits) << row.what;
            std::map<ParamID, double> heard;
            for (const Edit& e : f.handler.edits)
            {
                ASSERT_EQ(e.kind, Edit::Perform) << row.what;
                heard[e.id] = e.value;
            }
            if (f.controller->getCurrentProgram() < 0)
                heard.erase(kProgramListId); // what a program value means then is the host's to say
            for (const auto& [id, value] : heard)
                ASSERT_EQ(value, f.controller->getParamNormalized(id)) << row.what << ", trial " << trial << ", id " << id;
            const std::vector<double> values = StateBytes::values(f.save());
            const auto near = [&](const std::vector<double>& whole) {
                for (std::size_t id = 0; id < whole.size(); ++id)
                    if (std::fabs(values[id] - whole[id]) > 1e-9 * std::max(1.0, std::fabs(whole[id])))
                        return false;
                return true;
            };
            EXPECT_TRUE(row.wholes.empty() || std::any_of(row.wholes.begin(), row.wholes.end(), near)) << row.what << ", trial " << trial;
            if (row.processor)
            {
                // It took the state, then the host's edits in place of its values.
                std::vector<double> processor = StateBytes::values(*row.processor);
                for (const auto& [id, value] : heard)
                    if (id < 12)
                        processor[id] = CvParameterSet::toPlain(*f.controller->getParameterSet().findSpec(id), value);
                EXPECT_TRUE(near(processor)) << row.what << ", processor";
            }
            for (const auto& [id, value] : heard)
                f.controller->setParamNormalized(id, value);
            EXPECT_EQ(StateBytes::values(f.save()), values) << row.what << ", trial " << trial << ": handed back";
        }
    EXPECT_FALSE(heldTooLong);
}
