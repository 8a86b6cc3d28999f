#include "ReverbEngine.h"

#include "ReverbTables.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace corvella::vastora {

using namespace tables;

namespace {

std::size_t truncToSize(double v) { return static_cast<std::size_t>(v); }

// List parameters arrive as doubles; round half up to an index. Values beyond the int32 range
// are pinned to it first, as converting them would be undefined; the geometry clamps later.
std::int32_t toListIndex(double plainValue)
{
    double r = plainValue + 0.5;
    r = std::min(std::max(r, -2147483648.0), 2147483647.0);
    return static_cast<std::int32_t>(r);
}

} // namespace

void ReverbEngine::prepare(double rate, std::int32_t /*maxSamplesPerBlock*/)
{
    // Rejects zero, negative, tiny, NaN, infinite and absurdly high rates alike.
    sampleRate = (rate >= kMinSampleRate && rate <= kMaxSampleRate) ? rate : kDefaultSampleRate;
    const double ratio = sampleRate / kReferenceRate;
    const auto wholeRate = static_cast<std::int32_t>(sampleRate);
    // Unprepared until every line has its storage: if an allocation below throws, process()
    // renders silence instead of reading lines that were never sized.
    maxPos = 0;

    early.allocate(static_cast<std::size_t>(wholeRate + 64));
    std::size_t lateDelays[kLines];
    for (int i = 0; i < kLines; ++i)
    {
        lateDelays[i] = truncToSize(kLateLengthsC[i] * ratio + ratio * 32.0 + 16.0);
        lfoRate[i] = kLfoRates[i];
    }
    late.allocate(lateDelays);
    std::size_t delaysA[kStages], delaysB[kStages];
    for (int k = 0; k < kStages; ++k)
    {
        delaysA[k] = truncToSize(kDiffuserLengths[k] * ratio + 8.0);
        delaysB[k] = truncToSize((kDiffuserLengths[k] + kDiffuserOffsetsB[k]) * ratio + 8.0);
    }
    diffuserA.allocate(delaysA);
    diffuserB.allocate(delaysB);
    outputL.allocate(truncToSize(kOutAllpassLengthL * ratio + 8.0));
    outputR.allocate(truncToSize(kOutAllpassLengthR * ratio + 8.0));
    maxPos = wholeRate + 64;

    // The longest way a sample can take through the network before it reaches the output.
    std::size_t longestLate = 0, chainA = 0, chainB = 0;
    for (int i = 0; i < kLines; ++i)
        longestLate = std::max(longestLate, late.size(i));
    for (int k = 0; k < kStages; ++k)
    {
        chainA += diffuserA.size(k);
        chainB += diffuserB.size(k);
    }
    idleAfterFrames = early.size() + std::max(chainA, chainB) + longestLate + std::max(outputL.size(), outputR.size());

    // The geometry and the coefficients depend on the rate: invalidate them so the next block
    // recomputes them.
    cachedSpread = -1;
    cachedRoom = -1.0;
    curves = Curves{};
    reset();
}

void ReverbEngine::clearAudio()
{
    early.clear();
    diffuserA.clear();
    diffuserB.clear();
    late.clear();
    outputL.clear();
    outputR.clear();
}

void ReverbEngine::reset()
{
    clearAudio();
    // Spread the LFO phases by the golden ratio so no two lines move together. They start
    // unreduced; the sample loop brings each below one cycle within nine frames.
    late.resetPhases();
    quietFrames = 0;
    idle = false;
}

void ReverbEngine::setParameter(std::uint32_t paramId, double plainValue)
{
    // A non-finite value would poison the smoothed controls for good, even across reset.
    if (!std::isfinite(plainValue))
        return;

    switch (paramId)
    {
    case 0: params.preDelay = plainValue; break;
    case 1: params.diffusion = plainValue; break;
    case 2: params.brightness = plainValue; break;
    case 3: params.reverbTime = plainValue; break;
    case 4: params.earlyLate = plainValue; break;
    case 5: params.mix = plainValue; break;
    case 6: params.roomSize = toListIndex(plainValue); break;
    case 7: params.spread = toListIndex(plainValue); break;
    case 8: params.outputLevelL = std::clamp(plainValue, kMinOutputLevel, kMaxOutputLevel); break;
    case 9: params.outputLevelR = std::clamp(plainValue, kMinOutputLevel, kMaxOutputLevel); break;
    case 10: params.modulation = plainValue; break;
    case 11: params.warmth = plainValue; break;
    default: break;
    }
}

} // namespace corvella::vastora
