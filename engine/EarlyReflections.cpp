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
    // Four taps per pass over the chunk, each added in turn as a plain sum would add it.
    for (std::size_t m = 0; m < n; ++m)
        early[m] = 0.0f;
    for (int j = 0; j < kTaps; j += 4)
    {
        const float* a0 = line.from(n + taps[j].whole - 1);
        const float* b0 = line.from(n + taps[j].whole);
        const float* a1 = line.from(n + taps[j + 1].whole - 1);
        const float* b1 = line.from(n + taps[j + 1].whole);
        const float* a2 = line.from(n + taps[j + 2].whole - 1);
        const float* b2 = line.from(n + taps[j + 2].whole);
        const float* a3 = line.from(n + taps[j + 3].whole - 1);
        const float* b3 = line.from(n + taps[j + 3].whole);
        const float f0 = taps[j].frac, f1 = taps[j + 1].frac, f2 = taps[j + 2].frac, f3 = taps[j + 3].frac;
        const float g0 = gain[j], g1 = gain[j + 1], g2 = gain[j + 2], g3 = gain[j + 3];
        for (std::size_t m = 0; m < n; ++m)
        {
            float sum = early[m];
            sum += g0 * ((b0[m] - a0[m]) * f0 + a0[m]);
            sum += g1 * ((b1[m] - a1[m]) * f1 + a1[m]);
            sum += g2 * ((b2[m] - a2[m]) * f2 + a2[m]);
            sum += g3 * ((b3[m] - a3[m]) * f3 + a3[m]);
            early[m] = sum;
        }
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
