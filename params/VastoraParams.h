#pragma once

#include "params/CvParamSpec.h"

namespace corvella::vastora {

// Number of records in the product's parameter table.
constexpr int kParamCount = 12;

// Parameter IDs, equal to their index in the table.
enum ParamId : Steinberg::Vst::ParamID
{
    kPreDelay = 0,
    kDiffusion = 1,
    kBrightness = 2,
    kReverbTime = 3,
    kEarlyLate = 4,
    kMasterMix = 5,
    kRoomSize = 6,
    kSpread = 7,
    kOutputLevelL = 8,
    kOutputLevelR = 9,
    kModulation = 10,
    kWarmth = 11,
};

extern const char* const kRoomSizeNames[10];
extern const char* const kSpreadNames[11];

// The first of the twelve records of the product's parameter table, in ID order.
const CvParamSpec* parameterSpecs();

} // namespace corvella::vastora
