#include "LateNetwork.h"

#include "DelayLine.h"
#include "ReverbTables.h"
#include "SimdSine.h"

#include <algorithm>
#include <cmath>
#include <emmintrin.h>

namespace corvella::vastora {

using namespace tables;

namespace {

// Lanes (0, 1, 2, 3) -> (x0 + x1, x0 - x1, x2 + x3, x2 - x3), and the same across pairs: the
// first two passes of the transform inside one vector. Negation flips the sign bit, so x + (-y)
// is exactly x - y.
inline __m128 butterflyPairs(__m128 v)
{
    const __m128 negateOdd = _mm_castsi128_ps(_mm_set_epi32(INT32_MIN, 0, INT32_MIN, 0));
    const __m128 x = _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 2, 0, 0));
    const __m128 y = _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 1, 1));
    return _mm_add_ps(x, _mm_xor_ps(y, negateOdd));
}

inline __m128 butterflyHalves(__m128 v)
{
    const __m128 negateHigh = _mm_castsi128_ps(_mm_set_epi32(INT32_MIN, INT32_MIN, 0, 0));
    const __m128 x = _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 0, 1, 0));
    const __m128 y = _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 2, 3, 2));
    return _mm_add_ps(x, _mm_xor_ps(y, negateHigh));
}

// Sine of x for four lines from their anchors (see Anchors); re-anchors first where asked.
template <typename Anchors>
inline __m128 carriedSine(Anchors& anchors, int q, __m128 x, bool reanchor)
{
    if (reanchor)
    {
        _mm_store_ps(anchors.angle + q, x);
        _mm_store_ps(anchors.sine + q, sin4(x));
        _mm_store_ps(anchors.cosine + q, sin4(_mm_add_ps(x, _mm_set1_ps(1.57079637f))));
    }
    // Between anchors |d| stays below 0.04, where d - d^3 / 6 and 1 - d^2 / 2 are exact to
    // float precision.
    const __m128 d = _mm_sub_ps(x, _mm_load_ps(anchors.angle + q));
    const __m128 d2 = _mm_mul_ps(d, d);
    const __m128 cosD = _mm_sub_ps(_mm_set1_ps(1.0f), _mm_mul_ps(d2, _mm_set1_ps(0.5f)));
    const __m128 sinD = _mm_sub_ps(d, _mm_mul_ps(_mm_mul_ps(d2, d), _mm_set1_ps(1.0f / 6.0f)));
    return _mm_add_ps(_mm_mul_ps(_mm_load_ps(anchors.sine + q), cosD), _mm_mul_ps(_mm_load_ps(anchors.cosine + q), sinD));
}

inline float horizontalSum(__m128 v)
{
    const __m128 pairs = _mm_add_ps(v, _mm_movehl_ps(v, v));
    return _mm_cvtss_f32(_mm_add_ss(pairs, _mm_shuffle_ps(pairs, pairs, _MM_SHUFFLE(1, 1, 1, 1))));
}

} // namespace

void LateNetwork::allocate(const std::size_t* maxDelays)
{
    std::size_t total = 0;
    for (int i = 0; i < kLines; ++i)
    {
        const std::size_t size = nextPow2(std::max<std::size_t>(maxDelays[i] + 2, 8));
        offset[i] = static_cast<std::int32_t>(total + 1);
        mask[i] = static_cast<std::int32_t>(size - 1);
        total += size + 1;
    }
    arena = std::vector<float>(total, 0.0f);
    frame = 0;
}

void LateNetwork::clear()
{
    std::fill(arena.begin(), arena.end(), 0.0f);
    std::fill(std::begin(dampState), std::end(dampState), 0.0f);
    std::fill(std::begin(lowState), std::end(lowState), 0.0f);
}

void LateNetwork::resetPhases()
{
    for (int i = 0; i < kLines; ++i)
        lfoPhase[i] = (i + 1) * kGoldenPhase;
    // The anchors follow the frame count: restart it, so that a reset engine repeats itself
    // bit for bit. The lines are empty after a reset, so where they are written does not matter.
    frame = 0;
    anchorsStale = true;
}

void LateNetwork::advancePhases(std::size_t n, const Block& block)
{
    const __m128d one = _mm_set1_pd(1.0);
    for (std::size_t m = 0; m < n; ++m)
        for (int i = 0; i < kLines; i += 2)
        {
            __m128d ph = _mm_add_pd(_mm_load_pd(block.phaseStep + i), _mm_load_pd(lfoPhase + i));
            ph = _mm_sub_pd(ph, _mm_and_pd(_mm_cmpge_pd(ph, one), one));
            _mm_store_pd(lfoPhase + i, ph);
        }
    anchorsStale = true;
}

std::size_t LateNetwork::maxChunk(const Block& block)
{
    std::int32_t shortest = INT32_MAX;
    for (int i = 0; i < kLines; ++i)
        shortest = std::min(shortest, block.lengthWhole[i] - static_cast<std::int32_t>(std::ceil(block.depth[i])) - 1);
    return shortest > 1 ? std::min<std::size_t>(static_cast<std::size_t>(shortest), kMaxChunk) : 1;
}

void LateNetwork::storeWritten(std::size_t n)
{
    // Frame by frame until the write position is a multiple of four, then four frames of four
    // lines at a time, transposed into each line; such a group never crosses a line's end, as
    // every line's size is a multiple of four.
    float* const lines = arena.data();
    const std::uint32_t first = frame - static_cast<std::uint32_t>(n);
    std::size_t m = 0;
    auto single = [&](std::size_t frameInRun) {
        for (int i = 0; i < kLines; ++i)
            lines[offset[i] + ((first + frameInRun) & static_cast<std::uint32_t>(mask[i]))] = written[frameInRun * kLines + i];
    };
    for (; m < n && ((first + m) & 3u) != 0; ++m)
        single(m);
    for (; m + 4 <= n; m += 4)
        for (int q = 0; q < kLines; q += 4)
        {
            __m128 r0 = _mm_load_ps(written + m * kLines + q);
            __m128 r1 = _mm_load_ps(written + (m + 1) * kLines + q);
            __m128 r2 = _mm_load_ps(written + (m + 2) * kLines + q);
            __m128 r3 = _mm_load_ps(written + (m + 3) * kLines + q);
            _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
            const std::uint32_t at = first + static_cast<std::uint32_t>(m);
            _mm_storeu_ps(lines + offset[q] + (at & static_cast<std::uint32_t>(mask[q])), r0);
            _mm_storeu_ps(lines + offset[q + 1] + (at & static_cast<std::uint32_t>(mask[q + 1])), r1);
            _mm_storeu_ps(lines + offset[q + 2] + (at & static_cast<std::uint32_t>(mask[q + 2])), r2);
            _mm_storeu_ps(lines + offset[q + 3] + (at & static_cast<std::uint32_t>(mask[q + 3])), r3);
        }
    for (; m < n; ++m)
        single(m);
    for (int i = 0; i < kLines; ++i)
        lines[offset[i] - 1] = lines[offset[i] + mask[i]];
}

float LateNetwork::process(const float* a, const float* b, float* lateL, float* lateR, std::size_t n,
                           const Block& block)
{
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(INT32_MAX));
    __m128 largestRead = _mm_setzero_ps();
    const __m128d one = _mm_set1_pd(1.0);
    const __m128 oneF = _mm_set1_ps(1.0f);
    const __m128 lowCoef = _mm_set1_ps(block.lowCoef);
    const __m128 negateOdd = _mm_castsi128_ps(_mm_set_epi32(INT32_MIN, 0, INT32_MIN, 0));
    float* const lines = arena.data();

    for (std::size_t m = 0; m < n; ++m)
    {
        alignas(16) std::int32_t readAt[kLines];
        alignas(16) float frac[kLines];
        const __m128i now = _mm_set1_epi32(static_cast<std::int32_t>(frame));
        const bool anchorFrame = (frame & block.anchorMask) == 0 || anchorsStale;
        anchorsStale = false;

        // Modulated read positions: the LFO phase advances exactly as a double, and the sines are
        // those of its float value, carried from their anchors.
        for (int q = 0; q < kLines; q += 4)
        {
            __m128d ph0 = _mm_add_pd(_mm_load_pd(block.phaseStep + q), _mm_load_pd(lfoPhase + q));
            __m128d ph1 = _mm_add_pd(_mm_load_pd(block.phaseStep + q + 2), _mm_load_pd(lfoPhase + q + 2));
            const __m128d wrap0 = _mm_cmpge_pd(ph0, one), wrap1 = _mm_cmpge_pd(ph1, one);
            ph0 = _mm_sub_pd(ph0, _mm_and_pd(wrap0, one));
            ph1 = _mm_sub_pd(ph1, _mm_and_pd(wrap1, one));
            _mm_store_pd(lfoPhase + q, ph0);
            _mm_store_pd(lfoPhase + q + 2, ph1);
            const __m128 p = _mm_movelh_ps(_mm_cvtpd_ps(ph0), _mm_cvtpd_ps(ph1));
            // A wrap makes both angles jump: take the sines afresh there.
            const bool reanchor = anchorFrame || _mm_movemask_pd(_mm_or_pd(wrap0, wrap1)) != 0;

            const __m128 argA = _mm_mul_ps(_mm_add_ps(_mm_mul_ps(p, _mm_set1_ps(kLfoRatio)), _mm_set1_ps(kLfoOffset)),
                                           _mm_set1_ps(kTwoPiF));
            const __m128 argB = _mm_mul_ps(p, _mm_set1_ps(kTwoPiF));
            const __m128 lfo = _mm_add_ps(_mm_mul_ps(carriedSine(anchorA, q, argA, reanchor), _mm_set1_ps(kLfoAmplitudeA)),
                                          _mm_mul_ps(carriedSine(anchorB, q, argB, reanchor), _mm_set1_ps(kLfoAmplitudeB)));

            // Delay = whole + offset, offset = fraction + lfo * depth, split into whole samples
            // (rounded down) and a fraction.
            const __m128 off = _mm_add_ps(_mm_mul_ps(lfo, _mm_load_ps(block.depth + q)), _mm_load_ps(block.lengthFrac + q));
            __m128i k = _mm_cvttps_epi32(off);
            __m128 kf = _mm_cvtepi32_ps(k);
            const __m128 below = _mm_cmplt_ps(off, kf);
            k = _mm_add_epi32(k, _mm_castps_si128(below));
            kf = _mm_sub_ps(kf, _mm_and_ps(below, oneF));
            _mm_store_ps(frac + q, _mm_sub_ps(off, kf));

            const __m128i lineMask = _mm_load_si128(reinterpret_cast<const __m128i*>(mask + q));
            const __m128i lineStart = _mm_load_si128(reinterpret_cast<const __m128i*>(offset + q));
            const __m128i age = _mm_sub_epi32(_mm_sub_epi32(now, _mm_load_si128(reinterpret_cast<const __m128i*>(block.lengthWhole + q))), k);
            _mm_store_si128(reinterpret_cast<__m128i*>(readAt + q), _mm_add_epi32(_mm_and_si128(age, lineMask), lineStart));
        }

        // Damping, band split and feedback; the diffused inputs go to every line, the right one
        // with opposite signs in the two halves.
        const __m128 injectTop = _mm_set1_ps(kInjectionWeight * b[m] + kInjectionWeight * a[m]);
        const __m128 injectBottom = _mm_set1_ps(-kInjectionWeight * b[m] + kInjectionWeight * a[m]);
        __m128 out[4], fb[4];
        for (int v = 0; v < 4; ++v)
        {
            const int q = 4 * v;
            // Each read is one 64-bit load of the sample before (b) and the sample (a).
            const __m128 zero = _mm_setzero_ps();
            const __m128 p0 = _mm_loadl_pi(zero, reinterpret_cast<const __m64*>(lines + readAt[q] - 1));
            const __m128 p1 = _mm_loadl_pi(zero, reinterpret_cast<const __m64*>(lines + readAt[q + 1] - 1));
            const __m128 p2 = _mm_loadl_pi(zero, reinterpret_cast<const __m64*>(lines + readAt[q + 2] - 1));
            const __m128 p3 = _mm_loadl_pi(zero, reinterpret_cast<const __m64*>(lines + readAt[q + 3] - 1));
            const __m128 p01 = _mm_movelh_ps(p0, p1), p23 = _mm_movelh_ps(p2, p3);
            const __m128 sb = _mm_shuffle_ps(p01, p23, _MM_SHUFFLE(2, 0, 2, 0));
            const __m128 sa = _mm_shuffle_ps(p01, p23, _MM_SHUFFLE(3, 1, 3, 1));
            const __m128 y = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(sb, sa), _mm_load_ps(frac + q)), sa);
            largestRead = _mm_max_ps(largestRead, _mm_and_ps(y, magnitude));
            __m128 damp = _mm_load_ps(dampState + q);
            damp = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(damp, y), _mm_load_ps(block.dampCoef + q)), y);
            __m128 low = _mm_load_ps(lowState + q);
            low = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(damp, low), lowCoef), low);
            _mm_store_ps(dampState + q, damp);
            _mm_store_ps(lowState + q, low);
            out[v] = damp;
            const __m128 loop = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(damp, low), _mm_load_ps(block.feedbackGain + q)),
                                           _mm_mul_ps(_mm_load_ps(block.lowGain + q), low));
            fb[v] = _mm_add_ps(v < 2 ? injectTop : injectBottom, loop);
        }

        // Walsh-Hadamard transform: distances 1 and 2 inside each vector, 4 and 8 across them.
        for (__m128& v : fb)
            v = butterflyHalves(butterflyPairs(v));
        const __m128 h0 = _mm_add_ps(fb[0], fb[1]), h1 = _mm_sub_ps(fb[0], fb[1]);
        const __m128 h2 = _mm_add_ps(fb[2], fb[3]), h3 = _mm_sub_ps(fb[2], fb[3]);
        const __m128 scale = _mm_set1_ps(kWriteBackScale);
        float* const out16 = written + m * kLines;
        _mm_store_ps(out16, _mm_mul_ps(_mm_add_ps(h0, h2), scale));
        _mm_store_ps(out16 + 4, _mm_mul_ps(_mm_add_ps(h1, h3), scale));
        _mm_store_ps(out16 + 8, _mm_mul_ps(_mm_sub_ps(h0, h2), scale));
        _mm_store_ps(out16 + 12, _mm_mul_ps(_mm_sub_ps(h1, h3), scale));

        const __m128 sumL = _mm_add_ps(_mm_add_ps(out[0], out[1]), _mm_add_ps(out[2], out[3]));
        const __m128 sumR = _mm_xor_ps(sumL, negateOdd);
        lateL[m] = horizontalSum(sumL) * kLateOutputScale;
        lateR[m] = horizontalSum(sumR) * kLateOutputScale;
        ++frame;
    }
    storeWritten(n);
    largestRead = _mm_max_ps(largestRead, _mm_movehl_ps(largestRead, largestRead));
    return _mm_cvtss_f32(_mm_max_ss(largestRead, _mm_shuffle_ps(largestRead, largestRead, _MM_SHUFFLE(1, 1, 1, 1))));
}

} // namespace corvella::vastora
