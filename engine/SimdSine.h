#pragma once

#include <emmintrin.h>

namespace corvella::vastora {

// Sine of four floats at once with SSE2 alone, for the late lines' modulation: the engine calls
// no maths-library function per sample, so its sound is the same on every platform and its cost
// does not depend on a runtime library's sinf. Accurate to about one float step for arguments of
// up to a few hundred radians, which is all the modulation needs.
inline __m128 sin4(__m128 x)
{
    // x = k pi + r with |r| <= pi / 2; pi in three parts so that k * part is exact for the k
    // that occur, then sin x = (-1)^k sin r.
    const __m128i k = _mm_cvtps_epi32(_mm_mul_ps(x, _mm_set1_ps(0.318309886f)));
    const __m128 kf = _mm_cvtepi32_ps(k);
    __m128 r = _mm_sub_ps(x, _mm_mul_ps(kf, _mm_set1_ps(3.140625f)));
    r = _mm_sub_ps(r, _mm_mul_ps(kf, _mm_set1_ps(9.67502593994140625e-4f)));
    r = _mm_sub_ps(r, _mm_mul_ps(kf, _mm_set1_ps(1.509957990978376432e-7f)));
    const __m128 sign = _mm_castsi128_ps(_mm_slli_epi32(k, 31));

    // Taylor series to r^13: its remainder stays below 1e-9 on [-pi/2, pi/2].
    const __m128 r2 = _mm_mul_ps(r, r);
    __m128 p = _mm_set1_ps(1.6059043836821613e-10f);
    p = _mm_add_ps(_mm_mul_ps(p, r2), _mm_set1_ps(-2.5052108385441720e-8f));
    p = _mm_add_ps(_mm_mul_ps(p, r2), _mm_set1_ps(2.7557319223985893e-6f));
    p = _mm_add_ps(_mm_mul_ps(p, r2), _mm_set1_ps(-1.9841269841269841e-4f));
    p = _mm_add_ps(_mm_mul_ps(p, r2), _mm_set1_ps(8.3333333333333333e-3f));
    p = _mm_add_ps(_mm_mul_ps(p, r2), _mm_set1_ps(-1.6666666666666667e-1f));
    const __m128 s = _mm_add_ps(r, _mm_mul_ps(_mm_mul_ps(r, r2), p));
    return _mm_xor_ps(s, sign);
}

} // namespace corvella::vastora
