#include "params/CvParameterSet.h"
#include "params/VastoraParams.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace corvella;
using namespace corvella::vastora;

TEST(ParameterTable, RecordsAreInIdOrderWithTheProductsRangesAndDefaults)
{
    struct Row
    {
        const char* title;
        const char* units;
        double min, max, def;
        CvParamScale scale;
        int steps;
    };
    const Row rows[kParamCount] = {
        {"PreDelay", "ms", 0, 1000, 25, CvParamScale::Linear, 0},
        {"Diffusion", "%", 0, 100, 75, CvParamScale::Linear, 0},
        {"Brightness", "Hz", 20, 20000, 10000, CvParamScale::Logarithmic, 0},
        {"ReverbTime", "s", 0.1, 20, 9.7, CvParamScale::Logarithmic, 0},
        {"Early/Late", "%", 0, 100, 40, CvParamScale::Linear, 0},
        {"MasterMix", "%", 0, 100, 60, CvParamScale::Linear, 0},
        {"Room Size", "", 0, 9, 9, CvParamScale::Stepped, 10},
        {"Early Reflection Spread", "", 0, 10, 1, CvParamScale::Stepped, 11},
        {"Output Level L", "dB", -18, 18, 0, CvParamScale::Linear, 0},
        {"Output Level R", "dB", -18, 18, 0, CvParamScale::Linear, 0},
        {"Modulation", "%", 0, 100, 25, CvParamScale::Linear, 0},
        {"Warmth", "x", 0.1, 1.5, 1.0, CvParamScale::Linear, 0},
    };
    const CvParamSpec* table = parameterSpecs();
    for (int k = 0; k < kParamCount; ++k)
    {
        const CvParamSpec& s = table[k];
        SCOPED_TRACE(rows[k].title);
        EXPECT_EQ(s.id, static_cast<Steinberg::Vst::ParamID>(k));
        EXPECT_STREQ(s.title, rows[k].title);
        ASSERT_NE(s.units, nullptr);
        EXPECT_STREQ(s.units, rows[k].units);
        EXPECT_EQ(s.minPlain, rows[k].min);
        EXPECT_EQ(s.maxPlain, rows[k].max);
        EXPECT_EQ(s.defaultPlain, rows[k].def);
        EXPECT_EQ(s.scale, rows[k].scale);
        EXPECT_EQ(s.stepCount, rows[k].steps);
        EXPECT_EQ(s.flags, 0);
        EXPECT_EQ(s.valueNames != nullptr, rows[k].steps > 0);
    }
    EXPECT_STREQ(table[kRoomSize].valueNames[9], "Large Cathedral");
    EXPECT_STREQ(table[kSpread].valueNames[1], "30 ms");
    EXPECT_STREQ(table[kSpread].valueNames[0], "Auto");
    EXPECT_STREQ(table[kSpread].valueNames[10], "120 ms");
}

TEST(ParameterSet, LooksRecordsUpByIdAndIndex)
{
    CvParameterSet set(parameterSpecs(), kParamCount);
    EXPECT_EQ(set.getRecords().size(), 12u);
    EXPECT_STREQ(set.findSpec(3)->title, "ReverbTime");
    EXPECT_EQ(set.indexOf(11), 11);
    for (Steinberg::Vst::ParamID absent : {12u, 0x7FFF0000u, 0xFFFFFFFFu})
    {
        EXPECT_EQ(set.findSpec(absent), nullptr);
        EXPECT_EQ(set.indexOf(absent), -1);
    }
    EXPECT_EQ(set.specAt(-1), nullptr);
    EXPECT_EQ(set.specAt(12), nullptr);
    EXPECT_STREQ(set.specAt(11)->title, "Warmth");

    CvParameterSet empty(parameterSpecs(), 0);
    EXPECT_EQ(empty.findSpec(0), nullptr);
    EXPECT_EQ(empty.indexOf(0), -1);
}

TEST(ParameterSet, ARepeatedIdKeepsBothRecordsAndFindsTheLaterOne)
{
    const CvParamSpec table[] = {{7, "first", "", 0, 1, 0, CvParamScale::Linear, 0, nullptr},
                                 {7, "second", "", 0, 1, 0, CvParamScale::Linear, 0, nullptr}};
    CvParameterSet set(table, 2);
    EXPECT_EQ(set.getRecords().size(), 2u);
    EXPECT_STREQ(set.findSpec(7)->title, "second");
    EXPECT_EQ(set.indexOf(7), 1);
}

TEST(ParameterSet, ConversionsForEveryScaleKind)
{
    const CvParamSpec* t = parameterSpecs();
    struct Case
    {
        const CvParamSpec& spec;
        double normalized, plain;
    };
    const Case toPlain[] = {
        {t[kBrightness], 0.0, 20.0},        {t[kBrightness], 1.0, 20000.0},
        {t[kReverbTime], 0.0, 0.1},         {t[kRoomSize], 0.5, 5.0}, // 4.5 rounds away from zero
        {t[kSpread], 0.05, 1.0},            {t[kSpread], 0.04, 0.0},
        {t[kOutputLevelL], 0.5, 0.0},       {t[kPreDelay], 1.5, 1000.0},
        {t[kPreDelay], -0.2, 0.0},          {t[kWarmth], 1.0, 1.5},
    };
    for (const Case& c : toPlain)
        EXPECT_DOUBLE_EQ(CvParameterSet::toPlain(c.spec, c.normalized), c.plain) << c.spec.title << " " << c.normalized;
    EXPECT_NEAR(CvParameterSet::toPlain(t[kBrightness], 0.5), 632.4555, 1e-4);
    EXPECT_NEAR(CvParameterSet::toPlain(t[kReverbTime], 0.5), 1.41421, 1e-5);

    EXPECT_NEAR(CvParameterSet::toNormalized(t[kBrightness], 10000.0), 0.89966, 1e-5);
    EXPECT_EQ(CvParameterSet::toNormalized(t[kBrightness], 5.0), 0.0);
    EXPECT_EQ(CvParameterSet::toNormalized(t[kBrightness], -1.0), 0.0);
    EXPECT_NEAR(CvParameterSet::toNormalized(t[kReverbTime], 9.7), 0.86343, 1e-5);
    EXPECT_DOUBLE_EQ(CvParameterSet::toNormalized(t[kRoomSize], 4.4), 4.0 / 9.0);
    EXPECT_EQ(CvParameterSet::toNormalized(t[kRoomSize], 9.0), 1.0);
    EXPECT_EQ(CvParameterSet::toNormalized(t[kRoomSize], 12.0), 1.0);
    EXPECT_EQ(CvParameterSet::toNormalized(t[kOutputLevelL], -30.0), 0.0);
    EXPECT_EQ(CvParameterSet::toNormalized(t[kOutputLevelL], 30.0), 1.0);

    // Defaults in normalized units, by ID.
    const double defaults[kParamCount] = {0.025, 0.75, 0.8996566681, 0.8634271339, 0.4, 0.6, 1.0, 0.1,
                                          0.5,   0.5,  0.25,         0.6428571429};
    for (int k = 0; k < kParamCount; ++k)
        EXPECT_NEAR(CvParameterSet::defaultNormalized(t[k]), defaults[k], 1e-9) << t[k].title;
}

TEST(ParameterSet, ToggleAndDegenerateRecords)
{
    const CvParamSpec toggle{0, "t", "", 2.0, 4.0, 2.0, CvParamScale::Toggle, 0, nullptr};
    EXPECT_EQ(CvParameterSet::toPlain(toggle, 0.5), 4.0);
    EXPECT_EQ(CvParameterSet::toPlain(toggle, 0.4999), 2.0);
    EXPECT_EQ(CvParameterSet::toNormalized(toggle, 3.0), 0.5); // proportional, not thresholded

    const CvParamSpec flatLinear{0, "f", "", 3.0, 3.0, 3.0, CvParamScale::Linear, 0, nullptr};
    const CvParamSpec flatToggle{0, "f", "", 3.0, 3.0, 3.0, CvParamScale::Toggle, 0, nullptr};
    const CvParamSpec invertedSteps{0, "s", "", 5.0, 2.0, 3.0, CvParamScale::Stepped, 0, nullptr};
    for (double p : {-10.0, 3.0, 10.0})
    {
        EXPECT_EQ(CvParameterSet::toNormalized(flatLinear, p), 0.0);
        EXPECT_EQ(CvParameterSet::toNormalized(flatToggle, p), 0.0);
        EXPECT_EQ(CvParameterSet::toNormalized(invertedSteps, p), 0.0);
    }

    // A logarithmic record without a positive minimum starts at 1e-6; without a maximum above
    // that, it ends ten times higher.
    const CvParamSpec logFromZero{0, "l", "", 0.0, 1.0, 0.5, CvParamScale::Logarithmic, 0, nullptr};
    EXPECT_DOUBLE_EQ(CvParameterSet::toPlain(logFromZero, 0.0), 1e-6);
    const CvParamSpec logEmpty{0, "l", "", -1.0, -2.0, 0.5, CvParamScale::Logarithmic, 0, nullptr};
    EXPECT_DOUBLE_EQ(CvParameterSet::toPlain(logEmpty, 1.0), 1e-5);

    CvParamSpec unknown{0, "u", "", 7.0, 9.0, 8.0, CvParamScale::Linear, 0, nullptr};
    unknown.scale = static_cast<CvParamScale>(9);
    EXPECT_EQ(CvParameterSet::toPlain(unknown, 0.7), 7.0);
    EXPECT_EQ(CvParameterSet::toNormalized(unknown, 8.0), 0.0);
}
