#include "params/CvParameterSet.h"
#include "params/NumberText.h"
#include "params/VastoraParams.h"
#include "support/DecimalCommaLocale.h"

#include "base/source/fstring.h"
#include "public.sdk/source/vst/vstparameters.h"

#include <gtest/gtest.h>

#include <clocale>
#include <memory>

using namespace corvella;
using namespace corvella::vastora;

namespace {

std::string narrow(const Steinberg::Vst::TChar* text)
{
    Steinberg::String s(text);
    s.toMultiByte();
    return s.text8() ? s.text8() : "";
}

} // namespace

TEST(ValueText, NumbersTakeTheirPrecisionFromTheSignedValue)
{
    CvParameterSet set(parameterSpecs(), kParamCount);
    struct Case
    {
        Steinberg::Vst::ParamID id;
        double normalized;
        const char* text;
    };
    const Case cases[] = {
        {kPreDelay, 0.025, "25.00 ms"},      {kPreDelay, 0.0999, "99.90 ms"},
        {kPreDelay, 0.1, "100.0 ms"},        {kPreDelay, 1.0, "1000 ms"},
        {kPreDelay, 0.0, "0.000 ms"},        {kPreDelay, 2.0, "1000 ms"},
        {kDiffusion, 1.0, "100.0 %"},        {kBrightness, 0.0, "20.00 Hz"},
        {kBrightness, 0.5, "632.5 Hz"},      {kBrightness, 0.8996566681, "10000 Hz"},
        {kReverbTime, 0.0, "0.100 s"},       {kReverbTime, 0.8634271339, "9.70 s"},
        {kRoomSize, 1.0, "Large Cathedral"}, {kRoomSize, 0.5, "Small Hall"},
        {kSpread, 0.0, "Auto"},              {kSpread, 0.1, "30 ms"},
        {kOutputLevelL, 0.0, "-18.000 dB"},  {kOutputLevelL, 0.25, "-9.000 dB"},
        {kOutputLevelL, 0.5, "0.000 dB"},    {kOutputLevelL, 1.0, "18.00 dB"},
        {kWarmth, 0.0, "0.100 x"},           {kWarmth, 1.0, "1.50 x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(set.formatValue(c.id, c.normalized), c.text) << c.id << " at " << c.normalized;
    EXPECT_EQ(set.formatValue(12, 0.5), "");
    EXPECT_EQ(set.formatValue(0x7FFF0000, 0.5), "");
}

TEST(ValueText, SteppedWithoutNamesAndTogglesShowNumbersAndOnOff)
{
    const char* const names[2] = {"Low", "High"};
    const CvParamSpec table[] = {
        {1, "steps", "dB", 0, 4, 0, CvParamScale::Stepped, 0, nullptr},
        {2, "named", "", 0, 4, 0, CvParamScale::Stepped, 2, names},
        {3, "toggle", "", 0, 1, 0, CvParamScale::Toggle, 0, nullptr},
        {4, "toggle with unit", "sw", 0, 1, 0, CvParamScale::Toggle, 0, nullptr},
    };
    CvParameterSet set(table, 4);
    EXPECT_EQ(set.formatValue(1, 0.5), "2 dB");
    EXPECT_EQ(set.formatValue(2, 0.25), "High");
    EXPECT_EQ(set.formatValue(2, 0.5), "2"); // beyond the names
    EXPECT_EQ(set.formatValue(3, 1.0), "On");
    EXPECT_EQ(set.formatValue(3, 0.2), "Off");
    EXPECT_EQ(set.formatValue(4, 0.9), "On sw");
}

TEST(ValueText, TextsIgnoreTheProcessLocale)
{
    ASSERT_NE(std::setlocale(LC_ALL, corvella::testing::kDecimalCommaLocale), nullptr);
    CvParameterSet set(parameterSpecs(), kParamCount);
    EXPECT_EQ(set.formatValue(kReverbTime, 0.8634271339), "9.70 s");
    EXPECT_EQ(formatFixed(-1.5, 3), "-1.500");
    EXPECT_EQ(parseLeadingNumber(" 2.5 s").value_or(-1.0), 2.5);
    std::setlocale(LC_ALL, "C");
}

TEST(ValueText, LeadingNumbersAreParsedLikeStrtodInTheCLocale)
{
    EXPECT_EQ(parseLeadingNumber("2.5 s").value_or(-1.0), 2.5);
    EXPECT_EQ(parseLeadingNumber("  -18dB").value_or(0.0), -18.0);
    EXPECT_EQ(parseLeadingNumber("+3e2").value_or(0.0), 300.0);
    EXPECT_EQ(parseLeadingNumber(".5").value_or(0.0), 0.5);
    EXPECT_FALSE(parseLeadingNumber("+-5").has_value());
    EXPECT_FALSE(parseLeadingNumber("Small Hall").has_value());
    EXPECT_FALSE(parseLeadingNumber("").has_value());
    EXPECT_FALSE(parseLeadingNumber(nullptr).has_value());
    EXPECT_FALSE(parseLeadingNumber("nan").has_value());
    EXPECT_FALSE(parseLeadingNumber("inf ms").has_value());
}

TEST(HostParameter, EveryRecordBecomesANormalizedAutomatableParameter)
{
    const char* const units[kParamCount] = {"ms", "%", "Hz", "s", "%", "%", "", "", "dB", "dB", "%", "x"};
    for (int k = 0; k < kParamCount; ++k)
    {
        const CvParamSpec& spec = parameterSpecs()[k];
        std::unique_ptr<Steinberg::Vst::RangeParameter> p(CvParameterSet::createParameter(spec));
        const Steinberg::Vst::ParameterInfo& info = p->getInfo();
        SCOPED_TRACE(spec.title);
        EXPECT_EQ(info.id, spec.id);
        EXPECT_EQ(narrow(info.title), spec.title);
        EXPECT_EQ(narrow(info.units), units[k]);
        EXPECT_EQ(narrow(info.shortTitle), "");
        EXPECT_EQ(info.flags, Steinberg::Vst::ParameterInfo::kCanAutomate);
        EXPECT_EQ(info.unitId, Steinberg::Vst::kRootUnitId);
        if (spec.scale != CvParamScale::Stepped)
        {
            EXPECT_EQ(info.stepCount, 0);
            EXPECT_EQ(p->getMin(), 0.0);
            EXPECT_EQ(p->getMax(), 1.0);
            EXPECT_DOUBLE_EQ(info.defaultNormalizedValue, CvParameterSet::defaultNormalized(spec));
        }
    }
}

TEST(HostParameter, SteppedParametersOfferOnePositionPerValueName)
{
    for (Steinberg::Vst::ParamID id : {kRoomSize, kSpread})
    {
        const CvParamSpec& spec = parameterSpecs()[id];
        std::unique_ptr<Steinberg::Vst::RangeParameter> p(CvParameterSet::createParameter(spec));
        const Steinberg::Vst::ParameterInfo& info = p->getInfo();
        EXPECT_EQ(info.stepCount, spec.stepCount - 1);
        // The default position is the record's default name.
        EXPECT_EQ(CvParameterSet::toPlain(spec, info.defaultNormalizedValue), spec.defaultPlain);
        EXPECT_EQ(p->getNormalized(), info.defaultNormalizedValue);
        // Every position the host can offer maps onto its own name.
        for (int k = 0; k <= info.stepCount; ++k)
        {
            const double normalized = static_cast<double>(k) / info.stepCount;
            EXPECT_EQ(CvParameterSet::toPlain(spec, normalized), k);
            EXPECT_EQ(p->toPlain(normalized), k);
        }
    }
    CvParameterSet set(parameterSpecs(), kParamCount);
    std::unique_ptr<Steinberg::Vst::RangeParameter> room(CvParameterSet::createParameter(parameterSpecs()[kRoomSize]));
    EXPECT_EQ(set.formatValue(kRoomSize, room->getInfo().defaultNormalizedValue), "Large Cathedral");
    std::unique_ptr<Steinberg::Vst::RangeParameter> spread(CvParameterSet::createParameter(parameterSpecs()[kSpread]));
    EXPECT_EQ(set.formatValue(kSpread, spread->getInfo().defaultNormalizedValue), "30 ms");
}

TEST(HostParameter, NonZeroRecordFlagsPassUnchanged)
{
    CvParamSpec spec{40, "Bypass", "", 0, 1, 0, CvParamScale::Toggle, 0, nullptr};
    spec.flags = Steinberg::Vst::ParameterInfo::kIsBypass | Steinberg::Vst::ParameterInfo::kCanAutomate;
    std::unique_ptr<Steinberg::Vst::RangeParameter> p(CvParameterSet::createParameter(spec));
    EXPECT_EQ(p->getInfo().flags, spec.flags);
}
