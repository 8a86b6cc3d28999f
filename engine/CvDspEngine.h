#pragma once

#include <cstdint>

namespace corvella {

// The one face of a DSP engine that the engine-driving processor uses. The processor owns a
// concrete engine by value and calls it from one thread at a time; an engine takes no locks.
//
// Contract:
//  - prepare() comes before the first process() and may come again between blocks, also with
//    another sample rate; it obtains every buffer and leaves the engine reset.
//  - reset() clears the audio history only; parameters and buffer sizes survive it.
//  - setParameter() records one plain value by parameter ID (unknown IDs are ignored); it takes
//    effect at the next process().
//  - process() reads input sample n of both channels before it writes output sample n, left
//    first, so in-place buffers work and one buffer for both outputs ends with the right channel.
class CvDspEngine
{
public:
    virtual ~CvDspEngine() = default;

    virtual void prepare(double sampleRate, std::int32_t maxSamplesPerBlock) = 0;
    virtual void reset() = 0;
    virtual void setParameter(std::uint32_t paramId, double plainValue) = 0;
    virtual void process(const float* inL, const float* inR, float* outL, float* outR,
                         std::int32_t numSamples) = 0;
};

} // namespace corvella
