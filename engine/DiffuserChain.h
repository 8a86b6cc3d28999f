#pragma once

#include "RingBuffer.h"

#include <cstddef>

namespace corvella::vastora {

// Six allpass stages in series. Every stage's delay is longer than the chunk it is given, so a
// stage reads the whole chunk before it writes it and runs as one loop over the chunk.
class DiffuserChain
{
public:
    static constexpr int kStages = 6;

    void allocate(const std::size_t* maxDelays);
    void clear();
    std::size_t size(int stage) const { return stages[stage].size(); }

    // Runs x (n frames, n no longer than the shortest stage delay) through the chain in place.
    // gains[k] is stage k's allpass coefficient.
    void process(float* x, std::size_t n, const FixedDelay* delays, const float* gains);

private:
    RingBuffer stages[kStages];
};

} // namespace corvella::vastora
