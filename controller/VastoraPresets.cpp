#include "controller/VastoraPresets.h"

#include "params/VastoraParams.h"

namespace corvella::vastora {

namespace {

struct PresetRow
{
    const char* name;
    double values[kParamCount]; // plain values by parameter ID
};

// PreDelay ms, Diffusion %, Brightness Hz, ReverbTime s, Early/Late %, MasterMix %, Room Size,
// Spread, Output Level L/R dB, Modulation %, Warmth.
const PresetRow kPresetRows[] = {
    {"[FP] Ambience 1", {20, 100, 12000, 2.5, 40, 30, 4, 0, 0, 0, 25, 1.0}},
    {"[FP] Ambience 2", {30, 100, 9000, 3.5, 30, 35, 6, 0, 0, 0, 25, 1.0}},
    {"[FP] Bright Hall", {25, 100, 16000, 2.8, 45, 45, 7, 5, 0, 0, 25, 1.0}},
    {"[FP] Warm Hall", {25, 100, 5000, 2.6, 45, 45, 7, 5, 0, 0, 25, 1.0}},
    {"[FP] Chamber", {15, 100, 10000, 1.6, 55, 40, 4, 3, 0, 0, 25, 1.0}},
    {"[FP] Drum Hall", {20, 90, 12000, 2.2, 50, 40, 6, 4, 0, 0, 25, 1.0}},
    {"[FP] Drum Room", {10, 100, 14000, 0.9, 60, 35, 2, 2, 0, 0, 25, 1.0}},
    {"[FP] Plate Wanna-Be", {5, 100, 18000, 2.0, 20, 45, 5, 1, 0, 0, 25, 1.0}},
    {"[FP] Public Restroom", {15, 100, 8000, 3.0, 35, 50, 8, 8, 0, 0, 25, 1.0}},
    {"[FP] Slap-Back", {120, 60, 12000, 0.6, 70, 35, 1, 0, 0, 0, 25, 1.0}},
    {"[FP] State Capitol", {40, 100, 11000, 5.0, 40, 50, 9, 10, 0, 0, 25, 1.0}},
    {"[FP] Voice Over 1", {20, 100, 12000, 1.4, 45, 25, 3, 0, 0, 0, 25, 1.0}},
    {"[FP] Voice Over 2", {30, 100, 10000, 1.8, 40, 28, 4, 0, 0, 0, 25, 1.0}},
    {"[FP] Wash", {60, 100, 9000, 8.0, 25, 60, 9, 0, 0, 0, 25, 1.0}},
};

} // namespace

std::vector<CvFactoryPreset> buildFactoryPresets()
{
    std::vector<CvFactoryPreset> presets;
    presets.reserve(std::size(kPresetRows));
    for (const PresetRow& row : kPresetRows)
    {
        CvFactoryPreset preset{row.name, {}};
        for (int id = 0; id < kParamCount; ++id)
            preset.values.emplace_back(static_cast<Steinberg::Vst::ParamID>(id), row.values[id]);
        presets.push_back(std::move(preset));
    }
    return presets;
}

const std::vector<CvFactoryPreset> gFactoryPresets = buildFactoryPresets();

} // namespace corvella::vastora
