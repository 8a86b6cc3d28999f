// Value texts and host-facing parameter objects of CvParameterSet.
#include "params/CvParameterSet.h"
#include "params/NumberText.h"

#include "base/source/fstring.h"
#include "public.sdk/source/vst/vstparameters.h"

#include <algorithm>

namespace corvella {

namespace {

// Texts are cut where a 64-byte C buffer would cut them.
constexpr std::size_t kMaxValueText = 63;

std::string numberText(double plain)
{
    // Precision by magnitude, compared with the signed value: every negative value gets three
    // decimals ("-18.000 dB" against "18.00 dB").
    const int decimals = plain >= 1000.0 ? 0 : plain >= 100.0 ? 1 : plain >= 1.0 ? 2 : 3;
    return formatFixed(plain, decimals);
}

// Widens an 8-bit text for the SDK's parameter objects; empty or unconvertible gives "".
struct WideText
{
    Steinberg::String text;
    explicit WideText(const char* s)
    {
        if (s && *s)
        {
            text.assign(s);
            if (!text.toWideString())
                text = Steinberg::String();
        }
    }
    const Steinberg::Vst::TChar* get() const
    {
        static const Steinberg::Vst::TChar kEmpty[1] = {0};
        return text.isWideString() && text.length() > 0 ? text.text16() : kEmpty;
    }
};

} // namespace

std::string CvParameterSet::formatValue(Steinberg::Vst::ParamID id, double normalized) const
{
    const CvParamSpec* spec = findSpec(id);
    if (!spec)
        return {};
    const double plain = toPlain(*spec, normalized);

    std::string text;
    switch (spec->scale)
    {
    case CvParamScale::Stepped:
    {
        const auto k = static_cast<std::int32_t>(plain + 0.5);
        if (spec->valueNames && k >= 0 && k < spec->stepCount && spec->valueNames[k])
            text = spec->valueNames[k];
        else
            text = formatFixed(plain, 0);
        break;
    }
    case CvParamScale::Toggle:
        text = plain >= 0.5 ? "On" : "Off";
        break;
    default:
        text = numberText(plain);
        break;
    }
    if (text.size() > kMaxValueText)
        text.resize(kMaxValueText);
    if (spec->units && *spec->units)
    {
        text += ' ';
        text += spec->units;
    }
    return text;
}

Steinberg::Vst::RangeParameter* CvParameterSet::createParameter(const CvParamSpec& spec)
{
    using Steinberg::Vst::RangeParameter;
    const WideText title(spec.title);
    const WideText units(spec.units);
    const std::int32_t flags = spec.flags != 0 ? spec.flags : Steinberg::Vst::ParameterInfo::kCanAutomate;

    // The host sees the normalized range itself. A stepped record gets one host position per
    // value name (step count = names - 1), counted from 0 like the names, so that every position
    // the host offers maps through toPlain onto exactly one name, and its default is the
    // record's default name.
    if (spec.scale == CvParamScale::Stepped && spec.stepCount >= 2)
    {
        const std::int32_t steps = spec.stepCount - 1;
        const double defaultStep = std::min(std::max(spec.defaultPlain - spec.minPlain, 0.0), double(steps));
        return new RangeParameter(title.get(), spec.id, units.get(), 0.0, static_cast<double>(steps), defaultStep,
                                  steps, flags, Steinberg::Vst::kRootUnitId);
    }
    return new RangeParameter(title.get(), spec.id, units.get(), 0.0, 1.0, defaultNormalized(spec), 0, flags,
                              Steinberg::Vst::kRootUnitId);
}

} // namespace corvella
