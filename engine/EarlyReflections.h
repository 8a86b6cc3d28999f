#pragma once

#include "RingBuffer.h"

#include <cstddef>

namespace corvella::vastora {

// The two pre-delay lines and the sixteen early taps on each, summed and low-passed. The
// pre-delayed signal feeds the diffusers; the taps are read after the input is written, so the
// pre-delay setting does not move them.
class EarlyReflections
{
public:
    static constexpr int kTaps = 16;

    void allocate(std::size_t maxDelay);
    void clear();
    std::size_t size() const { return lineL.size(); }

    // Tap positions (samples) and gains for the blocks to come.
    void setTaps(const double* positionsL, const double* positionsR, const float* gains);

    // Longest run of frames process() can take at once with this pre-delay.
    std::size_t maxChunk(FixedDelay preDelay) const;

    // n frames: writes the inputs, reads the pre-delayed signal into preL/preR and the
    // low-passed early reflections into earlyL/earlyR.
    void process(const float* xL, const float* xR, std::size_t n, FixedDelay preDelay, float lowpassCoef,
                 float* preL, float* preR, float* earlyL, float* earlyR);

private:
    void side(const RingBuffer& line, const FixedDelay* taps, std::size_t n, FixedDelay preDelay,
              float lowpassCoef, float& lowpass, float* pre, float* early) const;

    RingBuffer lineL, lineR;
    FixedDelay tapsL[kTaps], tapsR[kTaps];
    float gain[kTaps] = {};
    std::size_t longestTap = 1;
    float lowpassL = 0.0f, lowpassR = 0.0f;
};

} // namespace corvella::vastora
