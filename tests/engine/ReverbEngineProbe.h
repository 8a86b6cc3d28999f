#pragma once

#include "engine/ReverbEngine.h"
#include "engine/ReverbTables.h"

#include <vector>

namespace corvella::vastora {

// Read access to the engine's internal state for tests.
struct ReverbEngineProbe
{
    const ReverbEngine& e;

    double sampleRate() const { return e.sampleRate; }
    std::int32_t maxPos() const { return e.maxPos; }
    const ReverbParams& params() const { return e.params; }
    const DelayLine& preDelayL() const { return e.preDelayL; }
    const DelayLine& preDelayR() const { return e.preDelayR; }
    const DelayLine& diffuserA(int k) const { return e.diffuserA[k]; }
    const DelayLine& diffuserB(int k) const { return e.diffuserB[k]; }
    const DelayLine& lateLine(int i) const { return e.lateLines[i]; }
    const DelayLine& outAllpassL() const { return e.outAllpassL; }
    const DelayLine& outAllpassR() const { return e.outAllpassR; }
    double lateLength(int i) const { return e.lateLength[i]; }
    float feedbackGain(int i) const { return e.feedbackGain[i]; }
    double tapPosA(int j) const { return e.tapPosA[j]; }
    double tapPosB(int j) const { return e.tapPosB[j]; }
    float tapGain(int j) const { return e.tapGain[j]; }
    float dampCoef(int i) const { return e.dampCoef[i]; }
    double lfoPhase(int i) const { return e.lfoPhase[i]; }
    double cachedRoom() const { return e.cachedRoom; }
    std::int32_t cachedSpread() const { return e.cachedSpread; }
    float smoothDiffusion() const { return e.smoothDiffusion; }
    float smoothMix() const { return e.smoothMix; }
    float smoothGainL() const { return e.smoothGainL; }
    float smoothGainR() const { return e.smoothGainR; }

    std::vector<const DelayLine*> allLines() const
    {
        std::vector<const DelayLine*> lines{&e.preDelayL, &e.preDelayR, &e.outAllpassL, &e.outAllpassR};
        for (auto& l : e.diffuserA)
            lines.push_back(&l);
        for (auto& l : e.diffuserB)
            lines.push_back(&l);
        for (auto& l : e.lateLines)
            lines.push_back(&l);
        return lines;
    }
};

} // namespace corvella::vastora
