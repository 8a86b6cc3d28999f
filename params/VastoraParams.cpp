#include "params/VastoraParams.h"

namespace corvella::vastora {

const char* const kRoomSizeNames[10] = {"Small Closet", "Large Closet", "Small Room",      "Medium Room",
                                        "Large Room",   "Small Hall",   "Medium Hall",     "Large Hall",
                                        "Small Cathedral", "Large Cathedral"};

const char* const kSpreadNames[11] = {"Auto",  "30 ms", "40 ms", "50 ms",  "60 ms", "70 ms",
                                      "80 ms", "90 ms", "100 ms", "110 ms", "120 ms"};

namespace {

using S = CvParamScale;

const CvParamSpec kParamSpecs[kParamCount] = {
    {kPreDelay, "PreDelay", "ms", 0, 1000, 25, S::Linear, 0, nullptr},
    {kDiffusion, "Diffusion", "%", 0, 100, 75, S::Linear, 0, nullptr},
    {kBrightness, "Brightness", "Hz", 20, 20000, 10000, S::Logarithmic, 0, nullptr},
    {kReverbTime, "ReverbTime", "s", 0.1, 20, 9.7, S::Logarithmic, 0, nullptr},
    {kEarlyLate, "Early/Late", "%", 0, 100, 40, S::Linear, 0, nullptr},
    {kMasterMix, "MasterMix", "%", 0, 100, 60, S::Linear, 0, nullptr},
    {kRoomSize, "Room Size", "", 0, 9, 9, S::Stepped, 10, kRoomSizeNames},
    {kSpread, "Early Reflection Spread", "", 0, 10, 1, S::Stepped, 11, kSpreadNames},
    {kOutputLevelL, "Output Level L", "dB", -18, 18, 0, S::Linear, 0, nullptr},
    {kOutputLevelR, "Output Level R", "dB", -18, 18, 0, S::Linear, 0, nullptr},
    {kModulation, "Modulation", "%", 0, 100, 25, S::Linear, 0, nullptr},
    {kWarmth, "Warmth", "x", 0.1, 1.5, 1.0, S::Linear, 0, nullptr},
};

} // namespace

const CvParamSpec* parameterSpecs() { return kParamSpecs; }

} // namespace corvella::vastora
