#include "DiffuserChain.h"

#include <emmintrin.h>

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
    // Every stage reads only samples from before the chunk, so four frames at a time can pass
    // through all six stages while they stay in registers; the stages are written afterwards.
    float written[kStages][RingBuffer::kGuard];
    const float* a[kStages];
    const float* b[kStages];
    __m128 gain[kStages], frac[kStages];
    for (int k = 0; k < kStages; ++k)
    {
        a[k] = stages[k].from(delays[k].whole);
        b[k] = stages[k].from(delays[k].whole + 1);
        gain[k] = _mm_set1_ps(gains[k]);
        frac[k] = _mm_set1_ps(delays[k].frac);
    }
    std::size_t m = 0;
    for (; m + 4 <= n; m += 4)
    {
        __m128 v = _mm_loadu_ps(x + m);
        for (int k = 0; k < kStages; ++k)
        {
            const __m128 g = gain[k];
            const __m128 sa = _mm_loadu_ps(a[k] + m);
            const __m128 read = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(_mm_loadu_ps(b[k] + m), sa), frac[k]), sa);
            const __m128 next = _mm_sub_ps(read, _mm_mul_ps(g, v));
            _mm_storeu_ps(written[k] + m, _mm_add_ps(_mm_mul_ps(g, next), v));
            v = next;
        }
        _mm_storeu_ps(x + m, v);
    }
    for (; m < n; ++m)
    {
        float v = x[m];
        for (int k = 0; k < kStages; ++k)
        {
            const float next = ((b[k][m] - a[k][m]) * delays[k].frac + a[k][m]) - gains[k] * v;
            written[k][m] = gains[k] * next + v;
            v = next;
        }
        x[m] = v;
    }
    for (int k = 0; k < kStages; ++k)
        stages[k].write(written[k], n);
}

} // namespace corvella::vastora
