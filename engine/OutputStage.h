#pragma once

#include "RingBuffer.h"

#include <cstddef>

namespace corvella::vastora {

// One side's late output: an allpass (longer than any chunk it is given) and a DC blocker.
class OutputStage
{
public:
    void allocate(std::size_t maxDelay) { allpass.allocate(maxDelay); }
    void clear();
    std::size_t size() const { return allpass.size(); }

    // Replaces the n late samples in x by the stage's output.
    void process(float* x, std::size_t n, FixedDelay delay);

private:
    RingBuffer allpass;
    float dcIn = 0.0f, dcOut = 0.0f;
};

} // namespace corvella::vastora
