#pragma once

#include "engine/ReverbEngine.h"
#include "engine/ReverbTables.h"

#include <cstddef>

namespace corvella::vastora {

// Read access to the engine's internal state for tests.
struct ReverbEngineProbe
{
    const ReverbEngine& e;

    double sampleRate() const { return e.sampleRate; }
    std::int32_t maxPos() const { return e.maxPos; }
    const ReverbParams& params() const { return e.params; }
    std::size_t preDelaySize() const { return e.early.size(); }
    std::size_t diffuserSizeA(int k) const { return e.diffuserA.size(k); }
    std::size_t diffuserSizeB(int k) const { return e.diffuserB.size(k); }
    std::size_t lateSize(int i) const { return e.late.size(i); }
    std::size_t outAllpassSizeL() const { return e.outputL.size(); }
    std::size_t outAllpassSizeR() const { return e.outputR.size(); }
    double lateLength(int i) const { return e.lateLength[i]; }
    float feedbackGain(int i) const { return e.feedbackGain[i]; }
    double tapPosA(int j) const { return e.tapPosA[j]; }
    double tapPosB(int j) const { return e.tapPosB[j]; }
    float tapGain(int j) const { return e.tapGain[j]; }
    float dampCoef(int i) const { return e.dampCoef[i]; }
    double lfoPhase(int i) const { return e.late.phase(i); }
    double cachedRoom() const { return e.cachedRoom; }
    std::int32_t cachedSpread() const { return e.cachedSpread; }
    float smoothDiffusion() const { return e.smoothDiffusion; }
    float smoothMix() const { return e.smoothMix; }
    float smoothGainL() const { return e.smoothGainL; }
    float smoothGainR() const { return e.smoothGainR; }
    bool idle() const { return e.idle; }
};

} // namespace corvella::vastora
