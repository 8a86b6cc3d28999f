#pragma once

#include "pluginterfaces/vst/vsttypes.h"

#include <string>
#include <utility>
#include <vector>

namespace corvella {

// One factory preset: its name as the host's program list shows it, and plain values (in each
// record's units) for any subset of parameters, applied in the order given.
struct CvFactoryPreset
{
    std::string name;
    std::vector<std::pair<Steinberg::Vst::ParamID, double>> values;
};

} // namespace corvella
