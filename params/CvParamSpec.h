#pragma once

#include "pluginterfaces/vst/vsttypes.h"

#include <cstdint>

namespace corvella {

// How a parameter maps between plain and normalized values, and how it is shown.
enum class CvParamScale : std::uint32_t
{
    Linear = 0,      // plain moves in proportion to normalized
    Logarithmic = 1, // plain moves by equal ratios (frequencies, times)
    Stepped = 2,     // whole-number plain values, each with an optional name
    Toggle = 3,      // minimum or maximum, shown as "On" / "Off"
};

// One parameter record. A plain value type; its texts are static strings that outlive it.
struct CvParamSpec
{
    Steinberg::Vst::ParamID id = 0;
    const char* title = "";
    const char* units = ""; // "" for a value without unit, never null
    double minPlain = 0.0;
    double maxPlain = 1.0;
    double defaultPlain = 0.0;
    CvParamScale scale = CvParamScale::Linear;
    std::int32_t stepCount = 0; // number of value names for a Stepped record, else 0
    std::int32_t flags = 0;     // VST3 parameter flags; 0 means automatable
    const char* const* valueNames = nullptr; // stepCount names of plain values 0.., or null

    constexpr CvParamSpec() = default;
    constexpr CvParamSpec(Steinberg::Vst::ParamID id, const char* title, const char* units, double minPlain,
                double maxPlain, double defaultPlain, CvParamScale scale, std::int32_t stepCount,
                const char* const* valueNames)
        : id(id), title(title), units(units), minPlain(minPlain), maxPlain(maxPlain),
          defaultPlain(defaultPlain), scale(scale), stepCount(stepCount), valueNames(valueNames)
    {
    }
};

} // namespace corvella
