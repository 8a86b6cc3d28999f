#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvella::vastora::reference {

// Smallest power of two that is >= n (0 and 1 give 1). Stops at the top bit instead of wrapping,
// so absurd requests cannot loop forever.
inline std::size_t nextPow2(std::size_t n)
{
    constexpr std::size_t kTopBit = ~(~std::size_t{0} >> 1);
    std::size_t p = 1;
    while (p < n && p < kTopBit)
        p <<= 1;
    return p;
}

// Circular sample buffer with a power-of-two size, so every wrap is one AND with `mask`.
// `pos` always names the oldest sample, which the next write replaces.
struct DelayLine
{
    std::vector<float> buf;
    std::size_t pos = 0;
    std::size_t mask = 0;

    // Sizes the line so that every delay up to maxDelay samples reads without clamping.
    // Old contents are discarded and their storage released, even when the size is unchanged.
    void allocate(std::size_t maxDelay)
    {
        const std::size_t wanted = maxDelay + 2 > 8 ? maxDelay + 2 : 8;
        const std::size_t size = nextPow2(wanted);
        buf = std::vector<float>(size, 0.0f);
        mask = size - 1;
        pos = 0;
    }

    void write(float x)
    {
        buf[pos] = x;
        pos = (pos + 1) & mask;
    }

    // The signal `delay` samples back (1 = the sample most recently written), linearly
    // interpolated, with the delay clamped into [1, size - 2]. A NaN delay reads as delay 1:
    // converting it to an index would be undefined.
    float read(double delay) const
    {
        double d = delay >= 1.0 ? delay : 1.0;
        const double top = static_cast<double>(buf.size() - 2);
        if (d > top)
            d = top;
        const auto i = static_cast<std::size_t>(d);
        const auto f = static_cast<float>(d - static_cast<double>(i));
        const std::size_t k = pos + buf.size() - i;
        const float a = buf[k & mask];
        const float b = buf[(k - 1) & mask];
        return (b - a) * f + a;
    }
};

} // namespace corvella::vastora::reference
