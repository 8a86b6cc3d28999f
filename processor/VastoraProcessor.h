#pragma once

#include "engine/ReverbEngine.h"
#include "processor/CvEngineProcessor.h"

namespace corvella::vastora {

// The product's audio processor: the reverb engine driven with the product's parameter table.
class VastoraProcessor : public CvEngineProcessor<ReverbEngine>
{
public:
    VastoraProcessor();
    ~VastoraProcessor() override;

    // Hosts stop processing a track whose input fell silent once the reported tail is over, so
    // report the real tail: pre-delay plus the decay to -120 dB (twice the reverb time).
    Steinberg::uint32 PLUGIN_API getTailSamples() override;
};

} // namespace corvella::vastora
