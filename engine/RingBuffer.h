#pragma once

#include "DelayLine.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

namespace corvella::vastora {

// A delay read at a fixed fractional position for a whole block: whole samples and fraction,
// split once per block the way DelayLine::read splits them per sample.
struct FixedDelay
{
    std::size_t whole = 1;
    float frac = 0.0f;

    static FixedDelay of(double delay)
    {
        FixedDelay d;
        d.whole = static_cast<std::size_t>(delay);
        d.frac = static_cast<float>(delay - static_cast<double>(d.whole));
        return d;
    }
};

// A delay line that is written and read a chunk of frames at a time. Its ring has a power-of-two
// size, as a DelayLine's, and behind the ring a guard that repeats the ring's first kGuard
// samples, so that a run of up to kGuard + 1 consecutive samples can be read from any start
// without a wrap: the sample loops over a chunk stay plain, vectorisable array loops.
class RingBuffer
{
public:
    static constexpr std::size_t kGuard = 64;

    // Sized for delays of up to maxDelay samples, exactly as DelayLine::allocate sizes a line.
    void allocate(std::size_t maxDelay)
    {
        const std::size_t size = nextPow2(std::max<std::size_t>(maxDelay + 2, 8));
        buf = std::vector<float>(size + kGuard, 0.0f);
        mask = size - 1;
        pos = 0;
    }

    void clear() { std::fill(buf.begin(), buf.end(), 0.0f); }

    std::size_t size() const { return mask + 1; }
    std::size_t position() const { return pos; }

    // Samples older than the next write by `age` (1 = the most recent) and onwards: element n
    // of the result is the sample written (age - n) writes ago, for n up to kGuard.
    const float* from(std::size_t age) const { return buf.data() + ((pos - age) & mask); }

    // Appends n samples, n no larger than the ring.
    void write(const float* x, std::size_t n)
    {
        const std::size_t size = mask + 1;
        const std::size_t first = std::min(n, size - pos);
        std::memcpy(buf.data() + pos, x, first * sizeof(float));
        std::memcpy(buf.data(), x + first, (n - first) * sizeof(float));
        if (pos < kGuard || first < n)
            for (std::size_t j = 0; j < kGuard; ++j) // the ring may be shorter than the guard
                buf[size + j] = buf[j & mask];
        pos = (pos + n) & mask;
    }

private:
    std::vector<float> buf;
    std::size_t pos = 0;
    std::size_t mask = 0;
};

} // namespace corvella::vastora
