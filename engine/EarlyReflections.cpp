#include "EarlyReflections.h"

#include <algorithm>

namespace corvella::vastora {

void EarlyReflections::allocate(std::size_t maxDelay)
{
    lineL.allocate(maxDelay);
    lineR.allocate(maxDelay);
    lowpassL = lowpassR = 0.0f;
}

void EarlyReflections::clear()
{
    lineL.clear();
    lineR.clear();
    lowpassL = lowpassR = 0.0f;
}

void EarlyReflections::setTaps(const double* positionsL, const double* positionsR, const float* gains)
{
    longestTap = 1;
    for (int j = 0; j < kTaps; ++j)
    {
        tapsL[j] = FixedDelay::of(positionsL[j]);
        tapsR[j] = FixedDelay::of(positionsR[j]);
        gain[j] = gains[j];
        longestTap = std::max({longestTap, tapsL[j].whole, tapsR[j].whole});
    }
}

std::size_t EarlyReflections::maxChunk(FixedDelay preDelay) const
{
    // The chunk is written before it is read, so the oldest sample a read reaches must not have
    // been overwritten yet.
    const std::size_t reach = std::max(preDelay.whole + 1, longestTap);
    return reach < lineL.size() ? lineL.size() - reach : 1;
}

void EarlyReflections::process(const float* xL, const float* xR, std::size_t n, FixedDelay preDelay,
                               float lowpassCoef, float* preL, float* preR, float* earlyL, float* earlyR)
{
    lineL.write(xL, n);
    lineR.write(xR, n);
    side(lineL, tapsL, n, preDelay, lowpassCoef, lowpassL, preL, earlyL);
    side(lineR, tapsR, n, preDelay, lowpassCoef, lowpassR, preR, earlyR);
}

void EarlyReflections::side(const RingBuffer& line, const FixedDelay* taps, std::size_t n, FixedDelay preDelay,
                            float lowpassCoef, float& lowpass, float* pre, float* early) const
{
    // Frame m of the chunk is the (n - m)th newest sample now. The pre-delay is read as before
    // that frame's write, the taps as after it.
    {
        const float* a = line.from(n + preDelay.whole);
        const float* b = line.from(n + preDelay.whole + 1);
        const float f = preDelay.frac;
        for (std::size_t m = 0; m < n; ++m)
            pre[m] = (b[m] - a[m]) * f + a[m];
    }
    for (std::size_t m = 0; m < n; ++m)
        early[m] = 0.0f;
    for (int j = 0; j < kTaps; ++j)
    {
        const float* a = line.from(n + taps[j].whole - 1);
        const float* b = line.from(n + taps[j].whole);
        const float f = taps[j].frac;
        const float g = gain[j];
        for (std::size_t m = 0; m < n; ++m)
            early[m] += g * ((b[m] - a[m]) * f + a[m]);
    }
    float state = lowpass;
    for (std::size_t m = 0; m < n; ++m)
    {
        state = (early[m] - state) * lowpassCoef + state;
        early[m] = state;
    }
    lowpass = state;
}

} // namespace corvella::vastora
