#include "DiffuserChain.h"

namespace corvella::vastora {

void DiffuserChain::allocate(const std::size_t* maxDelays)
{
    for (int k = 0; k < kStages; ++k)
        stages[k].allocate(maxDelays[k]);
}

void DiffuserChain::clear()
{
    for (RingBuffer& stage : stages)
        stage.clear();
}

void DiffuserChain::process(float* x, std::size_t n, const FixedDelay* delays, const float* gains)
{
    float written[RingBuffer::kGuard];
    for (int k = 0; k < kStages; ++k)
    {
        const float* a = stages[k].from(delays[k].whole);
        const float* b = stages[k].from(delays[k].whole + 1);
        const float f = delays[k].frac;
        const float g = gains[k];
        for (std::size_t m = 0; m < n; ++m)
        {
            const float v = ((b[m] - a[m]) * f + a[m]) - g * x[m];
            written[m] = g * v + x[m];
            x[m] = v;
        }
        stages[k].write(written, n);
    }
}

} // namespace corvella::vastora
