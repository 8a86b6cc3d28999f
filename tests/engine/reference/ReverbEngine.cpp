#include "ReverbEngine.h"

#include "engine/ReverbTables.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace corvella::vastora::reference {

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

    preDelayL.allocate(static_cast<std::size_t>(wholeRate + 64));
    preDelayR.allocate(static_cast<std::size_t>(wholeRate + 64));
    for (int i = 0; i < kLines; ++i)
    {
        lateLines[i].allocate(truncToSize(kLateLengthsC[i] * ratio + ratio * 32.0 + 16.0));
        lfoRate[i] = kLfoRates[i];
    }
    for (int k = 0; k < kStages; ++k)
    {
        diffuserA[k].allocate(truncToSize(kDiffuserLengths[k] * ratio + 8.0));
        diffuserB[k].allocate(truncToSize((kDiffuserLengths[k] + kDiffuserOffsetsB[k]) * ratio + 8.0));
    }
    outAllpassL.allocate(truncToSize(kOutAllpassLengthL * ratio + 8.0));
    outAllpassR.allocate(truncToSize(kOutAllpassLengthR * ratio + 8.0));
    maxPos = wholeRate + 64;

    // The geometry depends on the rate: invalidate it so the next block recomputes it.
    cachedSpread = -1;
    cachedRoom = -1.0;
    reset();
}

void ReverbEngine::reset()
{
    auto clear = [](DelayLine& line) { std::fill(line.buf.begin(), line.buf.end(), 0.0f); };
    for (auto& line : lateLines)
        clear(line);
    for (int k = 0; k < kStages; ++k)
    {
        clear(diffuserA[k]);
        clear(diffuserB[k]);
    }
    clear(preDelayL);
    clear(preDelayR);
    clear(outAllpassL);
    clear(outAllpassR);

    dampState.fill(0.0f);
    lowState.fill(0.0f);
    erLowpassL = erLowpassR = 0.0f;
    dcYL = dcXL = dcYR = dcXR = 0.0f;

    // Spread the LFO phases by the golden ratio so no two lines move together. They start
    // unreduced; the sample loop brings each below one cycle within nine frames.
    for (int i = 0; i < kLines; ++i)
        lfoPhase[i] = (i + 1) * kGoldenPhase;
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

} // namespace corvella::vastora::reference
