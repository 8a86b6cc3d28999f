#include "processor/VastoraProcessor.h"

#include "controller/VastoraIds.h"
#include "params/VastoraParams.h"

#include <algorithm>
#include <cmath>

namespace corvella::vastora {

VastoraProcessor::VastoraProcessor() : CvEngineProcessor<ReverbEngine>(parameterSpecs(), kParamCount, kControllerUID) {}

VastoraProcessor::~VastoraProcessor() = default;

Steinberg::uint32 PLUGIN_API VastoraProcessor::getTailSamples()
{
    const double seconds = getLatestPlainValue(kPreDelay) * 0.001 + 2.0 * getLatestPlainValue(kReverbTime);
    const double samples = std::ceil(seconds * sampleRate);
    // Stay below kInfiniteTail, which would keep the host processing for ever.
    constexpr double kLongest = 0xFFFFFFFEu;
    return samples > 0.0 ? static_cast<Steinberg::uint32>(std::min(samples, kLongest)) : 0u;
}

} // namespace corvella::vastora
