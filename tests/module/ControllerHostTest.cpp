// The controller of the loaded module, driven as a host drives it.
#include "host/TestHost.h"
#include "support/StateBytes.h"
#include "support/DecimalCommaLocale.h"
#include "support/FactoryPresetValues.h"

#include "pluginterfaces/vst/ivstunits.h"
#include "public.sdk/source/common/memorystream.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

using namespace corvella::testing;
using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr ParamID kProgramChange = 0x7FFF0000;

const char* const kPresetNames[14] = {
    "[FP] Ambience 1",      "[FP] Ambience 2", "[FP] Bright Hall",   "[FP] Warm Hall",    "[FP] Chamber",
    "[FP] Drum Hall",       "[FP] Drum Room",  "[FP] Plate Wanna-Be", "[FP] Public Restroom", "[FP] Slap-Back",
    "[FP] State Capitol",   "[FP] Voice Over 1", "[FP] Voice Over 2", "[FP] Wash"};

const auto& kPresets = corvella::vastora::testing::kFactoryPresetValues;

// The host-facing normalized value of a plain value, by each parameter's range and scale.
double normalizedOf(int id, double plain)
{
    switch (id)
    {
    case 0: return plain / 1000.0;
    case 2: return std::log(plain / 20.0) / std::log(1000.0);
    case 3: return std::log(plain / 0.1) / std::log(200.0);
    case 6: return plain / 9.0;
    case 7: return plain / 10.0;
    case 8:
    case 9: return (plain + 18.0) / 36.0;
    case 11: return (plain - 0.1) / 1.4;
    default: return plain / 100.0;
    }
}

} // namespace

TEST(ControllerHost, ShowsTwelveAutomatableParametersAndTheProgramChange)
{
    TestHost host;
    IEditController& c = host.controller();
    ASSERT_EQ(c.getParameterCount(), 13);
    const char* titles[12] = {"PreDelay",       "Diffusion",  "Brightness",     "ReverbTime",
                              "Early/Late",     "MasterMix",  "Room Size",      "Early Reflection Spread",
                              "Output Level L", "Output Level R", "Modulation", "Warmth"};
    const char* units[12] = {"ms", "%", "Hz", "s", "%", "%", "", "", "dB", "dB", "%", "x"};
    const int32 steps[12] = {0, 0, 0, 0, 0, 0, 9, 10, 0, 0, 0, 0};
    const double defaults[12] = {0.025, 0.75, 0.8996566681, 0.8634271339, 0.4, 0.6, 1.0, 0.1, 0.5, 0.5, 0.25, 0.6428571429};
    for (int32 i = 0; i < 12; ++i)
    {
        ParameterInfo info{};
        ASSERT_EQ(c.getParameterInfo(i, info), kResultOk);
        SCOPED_TRACE(titles[i]);
        EXPECT_EQ(info.id, ParamID(i));
        EXPECT_EQ(toUtf8(info.title), titles[i]);
        EXPECT_EQ(toUtf8(info.units), units[i]);
        EXPECT_EQ(info.stepCount, steps[i]);
        EXPECT_EQ(info.flags, ParameterInfo::kCanAutomate);
        EXPECT_EQ(info.unitId, kRootUnitId);
        EXPECT_NEAR(info.defaultNormalizedValue, defaults[i], 1e-9);
    }
    ParameterInfo program{};
    ASSERT_EQ(c.getParameterInfo(12, program), kResultOk);
    EXPECT_EQ(program.id, kProgramChange);
    EXPECT_EQ(toUtf8(program.title), "Factory");
    EXPECT_EQ(program.flags, 0x8009);
    EXPECT_EQ(program.stepCount, 13);
    EXPECT_EQ(program.unitId, 0);
}

TEST(ControllerHost, ValueTextsBothWays)
{
    TestHost host;
    EXPECT_EQ(host.valueText(3, 0.8634271339), "9.70 s");
    EXPECT_EQ(host.valueText(8, 0.0), "-18.000 dB");
    EXPECT_EQ(host.valueText(6, 1.0), "Large Cathedral");
    EXPECT_EQ(host.valueText(7, 0.1), "30 ms");
    EXPECT_EQ(host.valueText(kProgramChange, 0.0), "[FP] Ambience 1");
    EXPECT_EQ(host.valueText(kProgramChange, 1.0), "[FP] Wash");
    EXPECT_EQ(host.valueText(4242, 0.5), "<none>");

    IEditController& c = host.controller();
    auto parse = [&](ParamID id, const std::string& text, ParamValue& v) {
        std::u16string wide = toUtf16(text);
        return c.getParamValueByString(id, reinterpret_cast<TChar*>(wide.data()), v);
    };
    struct Case
    {
        ParamID id;
        const char* text;
        double expected;
    };
    const Case accepted[] = {
        {3, "2.5 s", std::log(25.0) / std::log(200.0)},
        {3, "2.5", std::log(25.0) / std::log(200.0)},
        {0, "  250ms", 0.25},
        {8, "-9 dB", 0.25},
        {6, "Small Hall", 5.0 / 9.0},
        {6, "small hall", 5.0 / 9.0},
        {6, "2", 2.0 / 9.0},
        {7, "30 ms", 0.1},
        {7, "30", 0.1},
        {7, "Auto", 0.0},
        {7, "120 ms", 1.0},
        {kProgramChange, "[FP] Wash", 1.0},
    };
    for (const Case& k : accepted)
    {
        ParamValue v = -1.0;
        EXPECT_EQ(parse(k.id, k.text, v), kResultOk) << k.text;
        EXPECT_NEAR(v, k.expected, 1e-12) << k.text;
    }
    for (const char* refused : {"loud", "", "Hall", "ms 20"})
    {
        ParamValue v = 0.42;
        EXPECT_EQ(parse(3, refused, v), kResultFalse) << refused;
        EXPECT_EQ(v, 0.42) << refused;
    }
    ParamValue v = 0.0;
    EXPECT_EQ(parse(4242, "1", v), kResultFalse);
}

TEST(ControllerHost, TextsDoNotDependOnTheHostsLocale)
{
    TestHost host;
    ASSERT_NE(std::setlocale(LC_ALL, kDecimalCommaLocale), nullptr);
    EXPECT_EQ(host.valueText(3, 0.8634271339), "9.70 s");
    std::u16string text = toUtf16("9.70 s");
    ParamValue v = 0.0;
    EXPECT_EQ(host.controller().getParamValueByString(3, reinterpret_cast<TChar*>(text.data()), v), kResultOk);
    EXPECT_NEAR(v, std::log(97.0) / std::log(200.0), 1e-12);
    std::setlocale(LC_ALL, "C");
}

TEST(ControllerHost, OneRootUnitWithTheFactoryProgramList)
{
    TestHost host;
    FUnknownPtr<IUnitInfo> units(&host.controller());
    ASSERT_TRUE(units);
    ASSERT_EQ(units->getUnitCount(), 1);
    UnitInfo unit{};
    ASSERT_EQ(units->getUnitInfo(0, unit), kResultOk);
    EXPECT_EQ(toUtf8(unit.name), "Root");
    EXPECT_EQ(unit.id, kRootUnitId);
    EXPECT_EQ(unit.parentUnitId, kNoParentUnitId);
    EXPECT_EQ(unit.programListId, ProgramListID(kProgramChange));

    ASSERT_EQ(units->getProgramListCount(), 1);
    ProgramListInfo list{};
    ASSERT_EQ(units->getProgramListInfo(0, list), kResultOk);
    EXPECT_EQ(toUtf8(list.name), "Factory");
    EXPECT_EQ(list.id, ProgramListID(kProgramChange));
    ASSERT_EQ(list.programCount, 14);
    for (int32 i = 0; i < 14; ++i)
    {
        String128 name{};
        ASSERT_EQ(units->getProgramName(list.id, i, name), kResultOk);
        EXPECT_EQ(toUtf8(name), kPresetNames[i]);
    }
}

TEST(ControllerHost, SelectingAPresetSendsEachValueAsOneEdit)
{
    // A program's values are no user's touch: no gesture, which hosts record as automation.
    TestHost host;
    IEditController& c = host.controller();
    host.handler().edits.clear();
    ASSERT_EQ(c.setParamNormalized(kProgramChange, 7.0 / 13.0), kResultTrue);

    ASSERT_EQ(host.handler().edits.size(), 12u);
    for (std::size_t k = 0; k < 12; ++k)
    {
        EXPECT_EQ(host.handler().edits[k].kind, Edit::Perform) << k;
        EXPECT_EQ(host.handler().edits[k].id, ParamID(k)) << k;
        EXPECT_NEAR(host.handler().edits[k].value, normalizedOf(int(k), kPresets[7][k]), 1e-12) << k;
    }
    for (int id = 0; id < 12; ++id)
        EXPECT_NEAR(c.getParamNormalized(ParamID(id)), normalizedOf(id, kPresets[7][id]), 1e-12) << id;

    // 0.5 maps to the same preset (6.5 rounds up): nothing is sent again.
    host.handler().edits.clear();
    c.setParamNormalized(kProgramChange, 0.5);
    EXPECT_TRUE(host.handler().edits.empty());
    c.setParamNormalized(kProgramChange, 1.0);
    EXPECT_EQ(host.handler().edits.size(), 12u);
    EXPECT_EQ(host.valueText(3, c.getParamNormalized(3)), "8.00 s"); // "[FP] Wash"
}

TEST(ControllerHost, EveryFactoryProgramSetsItsTwelveValues)
{
    // The host handed the processor's state (program index 0) over on loading: that index
    // chooses nothing, so the first program applies too.
    TestHost host;
    IEditController& c = host.controller();
    for (int p = 0; p < 14; ++p)
    {
        host.handler().edits.clear();
        ASSERT_EQ(c.setParamNormalized(kProgramChange, p / 13.0), kResultTrue);
        EXPECT_EQ(host.handler().edits.size(), 12u) << kPresetNames[p];
        for (int id = 0; id < 12; ++id)
            EXPECT_NEAR(c.getParamNormalized(ParamID(id)), normalizedOf(id, kPresets[p][id]), 1e-12)
                << kPresetNames[p] << " id " << id;
    }
}

TEST(ControllerHost, ProcessorStateSetsValuesAndLeavesNoProgramChosen)
{
    TestHost host;
    IEditController& c = host.controller();
    EXPECT_NEAR(c.getParamNormalized(3), 0.8634271339, 1e-9);
    c.setParamNormalized(kProgramChange, 0.0);
    host.handler().edits.clear();

    // A processor state with other values: the controller follows, telling the host the values
    // (a preset was chosen before), and the first program applies again.
    std::vector<char> bytes = StateBytes::make(2, {100, 50, 2000, 3.5, 20, 80, 2, 5, -6, 6, 70, 0.5});
    MemoryStream stream(bytes.data(), TSize(bytes.size()));
    ASSERT_EQ(host.component().setState(&stream), kResultOk);
    ASSERT_EQ(host.syncControllerToProcessor(), kResultOk);
    EXPECT_EQ(host.handler().edits.size(), 12u);
    host.handler().edits.clear();
    EXPECT_EQ(host.valueText(6, c.getParamNormalized(6)), "Small Room");
    EXPECT_EQ(host.valueText(8, c.getParamNormalized(8)), "-6.000 dB");
    EXPECT_EQ(StateBytes::readI32(controllerState(c), 104), -1);
    c.setParamNormalized(kProgramChange, 0.0);
    EXPECT_EQ(host.handler().edits.size(), 12u);
    EXPECT_EQ(host.valueText(6, c.getParamNormalized(6)), "Large Room");
}

TEST(ControllerHost, ValuesOutsideTheRangeAndNullTextsGetAnAnswer)
{
    TestHost host;
    IEditController& c = host.controller();
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    struct Case
    {
        ParamID id;
        double value;
        const char* text; // null: refused, and the value is not taken either
    };
    const Case cases[] = {
        {kProgramChange, -1.0 / 14, "[FP] Ambience 1"}, {kProgramChange, -1.0, "[FP] Ambience 1"},
        {kProgramChange, 1.5, "[FP] Wash"},             {kProgramChange, nan, nullptr},
        {kProgramChange, inf, nullptr},                 {kProgramChange, -inf, nullptr},
        {3, 7.0, "20.00 s"},                            {3, nan, nullptr},
        {8, inf, nullptr},                              {6, -inf, nullptr},
    };
    for (const Case& k : cases)
    {
        SCOPED_TRACE(k.value);
        String128 text{};
        if (k.text)
        {
            EXPECT_EQ(c.getParamStringByValue(k.id, k.value, text), kResultOk);
            EXPECT_EQ(toUtf8(text), k.text);
            continue;
        }
        EXPECT_EQ(c.getParamStringByValue(k.id, k.value, text), kResultFalse);
        const double before = c.getParamNormalized(k.id);
        EXPECT_EQ(c.setParamNormalized(k.id, k.value), kResultFalse);
        EXPECT_EQ(c.getParamNormalized(k.id), before);
    }
    EXPECT_TRUE(host.handler().edits.empty());

    ParamValue v = 0.25;
    for (ParamID id : {kProgramChange, ParamID(3), ParamID(4242)})
    {
        EXPECT_EQ(c.getParamValueByString(id, nullptr, v), kInvalidArgument) << id;
        EXPECT_EQ(c.getParamStringByValue(id, 0.5, nullptr), kInvalidArgument) << id;
    }
    EXPECT_EQ(v, 0.25);
    FUnknownPtr<IUnitInfo> units(&c);
    ASSERT_TRUE(units);
    String128 name{};
    EXPECT_EQ(units->getProgramName(kProgramChange, 0, nullptr), kInvalidArgument);
    EXPECT_EQ(units->getProgramInfo(kProgramChange, 0, "MediaType", nullptr), kInvalidArgument);
    EXPECT_EQ(units->getProgramInfo(kProgramChange, 0, nullptr, name), kInvalidArgument);
    // Step numbers of values far outside the range stay within the steps.
    EXPECT_EQ(c.normalizedParamToPlain(kProgramChange, 1e300), 13.0);
    EXPECT_EQ(c.normalizedParamToPlain(6, 1e300), 9.0);
    EXPECT_EQ(c.normalizedParamToPlain(6, -1e300), 0.0);
}

TEST(ControllerHost, OwnStateRoundTripsValuesAndTheCurrentProgram)
{
    TestHost host;
    IEditController& c = host.controller();
    c.setParamNormalized(kProgramChange, 4.0 / 13.0); // "[FP] Chamber"
    c.setParamNormalized(0, 0.3);
    const std::vector<char> saved = controllerState(c);
    ASSERT_EQ(saved.size(), 108u);
    EXPECT_EQ(StateBytes::readI32(saved, 104), 4);
    EXPECT_DOUBLE_EQ(StateBytes::readF64(saved, 8), 300.0);

    TestHost other;
    std::vector<double> defaults;
    for (ParamID id = 0; id < 12; ++id)
        defaults.push_back(other.controller().getParamNormalized(id));
    other.handler().edits.clear();
    ASSERT_EQ(loadControllerState(other.controller(), saved), kResultOk);
    // Values that differ from the processor state before it reach the host, with the program,
    // as values: no gesture.
    std::vector<Edit> expected;
    for (ParamID id = 0; id < 12; ++id)
        if (std::fabs(c.getParamNormalized(id) - defaults[id]) > 1e-9)
            expected.push_back({Edit::Perform, id, other.controller().getParamNormalized(id)});
    expected.push_back({Edit::Perform, kProgramChange, 4.0 / 13.0});
    EXPECT_EQ(other.handler().edits, expected);
    EXPECT_NEAR(other.controller().getParamNormalized(kProgramChange), 4.0 / 13.0, 1e-12);
    for (ParamID id = 0; id < 12; ++id)
        EXPECT_NEAR(other.controller().getParamNormalized(id), c.getParamNormalized(id), 1e-12) << id;
    const std::vector<char> again = controllerState(other.controller());
    EXPECT_EQ(StateBytes::readI32(again, 104), 4);
    for (std::size_t k = 0; k < 12; ++k)
        EXPECT_NEAR(StateBytes::values(again)[k], StateBytes::values(saved)[k], 1e-9) << k;
}

TEST(ControllerHost, ViewsOtherThanTheEditorAreRefused)
{
    TestHost host;
    for (const char* name : {"Editor", "", "editor ", "ed"})
        EXPECT_EQ(host.controller().createView(name), nullptr) << name;
    EXPECT_EQ(host.controller().createView(nullptr), nullptr);
}
