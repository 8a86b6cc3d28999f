#include "OutputStage.h"

#include "ReverbTables.h"

namespace corvella::vastora {

using namespace tables;

void OutputStage::clear()
{
    allpass.clear();
    dcIn = dcOut = 0.0f;
}

void OutputStage::process(float* x, std::size_t n, FixedDelay delay)
{
    float written[RingBuffer::kGuard];
    const float* a = allpass.from(delay.whole);
    const float* b = allpass.from(delay.whole + 1);
    const float f = delay.frac;
    for (std::size_t m = 0; m < n; ++m)
    {
        const float v = ((b[m] - a[m]) * f + a[m]) - kOutAllpassGain * x[m];
        written[m] = v * kOutAllpassGain + x[m];
        x[m] = v;
    }
    allpass.write(written, n);

    float in = dcIn, out = dcOut;
    for (std::size_t m = 0; m < n; ++m)
    {
        out = (x[m] - in) + out * kDcBlockerPole;
        in = x[m];
        x[m] = out;
    }
    dcIn = in;
    dcOut = out;
}

} // namespace corvella::vastora
