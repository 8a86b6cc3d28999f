#pragma once

#include "controller/CvFactoryPreset.h"

#include <vector>

namespace corvella::vastora {

// The fourteen factory presets, in program-list order.
std::vector<CvFactoryPreset> buildFactoryPresets();

// Built at module load, read-only afterwards and shared by every controller.
extern const std::vector<CvFactoryPreset> gFactoryPresets;

} // namespace corvella::vastora
