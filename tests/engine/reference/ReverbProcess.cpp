#include "ReverbEngine.h"

#include "ReverbGeometry.h"
#include "engine/ReverbTables.h"
#include "engine/ScopedFlushDenormals.h"

#include <algorithm>
#include <cmath>

namespace corvella::vastora::reference {

using namespace tables;

namespace {

// Clamp that tests the upper bound first, so that when hi < lo the result is hi.
double clampHiFirst(double x, double lo, double hi) { return x > hi ? hi : (x < lo ? lo : x); }

float smoothToward(float state, double target)
{
    return (static_cast<float>(target) - state) * kSmoothingStep + state;
}

// Six allpass stages in series; each stage's gain scales with the diffusion amount.
template <typename Lines>
float diffuse(Lines& stages, const double* delays, float diffusion, float x)
{
    for (int k = 0; k < kDiffuserStages; ++k)
    {
        const float g = diffusion * kDiffuserGains[k];
        const float v = stages[k].read(delays[k]) - g * x;
        stages[k].write(g * v + x);
        x = v;
    }
    return x;
}

// Unnormalised in-place Walsh-Hadamard transform of 16 values.
void hadamard16(float* v)
{
    for (int h = 1; h < 16; h <<= 1)
        for (int s = 0; s < 16; s += 2 * h)
            for (int j = s; j < s + h; ++j)
            {
                const float x = v[j];
                const float y = v[j + h];
                v[j] = x + y;
                v[j + h] = x - y;
            }
}

// A bad sample from the host must not circulate in the network until the next reset.
float finiteOrSilence(float x) { return std::isfinite(x) ? x : 0.0f; }

} // namespace

ReverbEngine::BlockValues ReverbEngine::updateBlock()
{
    const std::int32_t room = clampRoomIndex(params.roomSize);
    const std::int32_t spread = clampSpreadIndex(params.spread);
    if (cachedRoom != static_cast<double>(room) || cachedSpread != spread)
        updateRoom();

    // Decay gains follow the reverb time at every block, without smoothing.
    for (int i = 0; i < kLines; ++i)
        feedbackGain[i] = decayGain(lateLength[i], params.reverbTime, sampleRate);

    BlockValues bv;
    const double ratio = sampleRate / kReferenceRate;
    for (int k = 0; k < kStages; ++k)
    {
        bv.diffuserDelayA[k] = std::max(ratio * kDiffuserLengths[k], 1.0);
        bv.diffuserDelayB[k] = std::max(ratio * (kDiffuserLengths[k] + kDiffuserOffsetsB[k]), 1.0);
    }
    bv.outAllpassDelayL = std::max(ratio * kOutAllpassLengthL, 1.0);
    bv.outAllpassDelayR = std::max(ratio * kOutAllpassLengthR, 1.0);

    const double nyquistGuard = 0.45 * sampleRate;
    const double dampCutoff = clampHiFirst(params.brightness, 20.0, nyquistGuard);
    const double erCutoff = clampHiFirst(params.brightness * 1.5 + 1000.0, 3000.0, nyquistGuard);
    bv.erCoef = static_cast<float>(1.0 - std::exp((erCutoff * -kTwoPi) / sampleRate));
    bv.lowCoef = static_cast<float>(1.0 - std::exp(kLowBandCutoffTerm / sampleRate));

    const double diffusionTarget = clampHiFirst(params.diffusion / 100.0, 0.0, 1.0);
    const double earlyLateTarget = clampHiFirst(params.earlyLate / 100.0, 0.0, 1.0);
    const double mixTarget = clampHiFirst(params.mix / 100.0, 0.0, 1.0);
    const double modulationTarget = clampHiFirst(params.modulation / 100.0, 0.0, 1.0);
    const double warmthTarget = clampHiFirst(params.warmth, 0.1, 1.5);
    bv.preDelaySamples = clampHiFirst(params.preDelay * 0.001 * sampleRate, 1.0, maxPos - 1);

    smoothDiffusion = smoothToward(smoothDiffusion, diffusionTarget);
    smoothDamping = smoothToward(smoothDamping, std::exp((dampCutoff * -kTwoPi) / sampleRate));
    smoothEarlyLate = smoothToward(smoothEarlyLate, earlyLateTarget);
    smoothWarmth = smoothToward(smoothWarmth, warmthTarget);
    smoothMix = smoothToward(smoothMix, mixTarget);
    smoothModulation = smoothToward(smoothModulation, modulationTarget);
    smoothGainL = smoothToward(smoothGainL, std::pow(10.0, params.outputLevelL / 20.0));
    smoothGainR = smoothToward(smoothGainR, std::pow(10.0, params.outputLevelR / 20.0));

    // Lines i mod 4 = 0..3 are damped at 0.85, 0.95, 1.05 and 1.15 times the cutoff, so the
    // high end decays unevenly across the network instead of in lockstep.
    for (int i = 0; i < kLines; ++i)
    {
        const float k = static_cast<float>(i % 4) * 0.3f / 3.0f + 0.85f;
        const auto target = static_cast<float>(std::exp((static_cast<double>(k) * (dampCutoff * -kTwoPi)) / sampleRate));
        dampCoef[i] = (target - dampCoef[i]) * kSmoothingStep + dampCoef[i];
        if (!(dampCoef[i] > 0.0f && dampCoef[i] < 1.0f))
            dampCoef[i] = smoothDamping;
    }

    bv.earlyWeight = smoothEarlyLate;
    bv.lateWeight = 1.0f - bv.earlyWeight;
    bv.depthMax = ratio * kMaxModulationDepth;
    for (int i = 0; i < kLines; ++i)
        bv.lfoStep[i] = lfoRate[i] / sampleRate;
    return bv;
}

void ReverbEngine::process(const float* inL, const float* inR, float* outL, float* outR,
                           std::int32_t numSamples)
{
    if (!isPrepared())
    {
        // Nothing to render with: the lines have no storage yet.
        for (std::int32_t n = 0; n < numSamples; ++n)
            outL[n] = outR[n] = 0.0f;
        return;
    }

    const BlockValues bv = updateBlock();
    if (numSamples <= 0)
        return;

    ScopedFlushDenormals flushDenormals;
    renderFrames(bv, inL, inR, outL, outR, numSamples);
}

void ReverbEngine::renderFrames(const BlockValues& bv, const float* inL, const float* inR, float* outL,
                                float* outR, std::int32_t numSamples)
{
    float lineOut[kLines];
    float feedback[kLines];

    for (std::int32_t n = 0; n < numSamples; ++n)
    {
        const float xL = finiteOrSilence(inL[n]);
        const float xR = finiteOrSilence(inR[n]);

        // Pre-delay: read before write, so the delay is exactly preDelaySamples.
        const float pL = preDelayL.read(bv.preDelaySamples);
        const float pR = preDelayR.read(bv.preDelaySamples);
        preDelayL.write(xL);
        preDelayR.write(xR);

        // Early reflections are tapped after the write, independent of the pre-delay setting.
        float erL = 0.0f;
        float erR = 0.0f;
        for (int j = 0; j < kTapCount; ++j)
            erL += tapGain[j] * preDelayL.read(tapPosA[j]);
        for (int j = 0; j < kTapCount; ++j)
            erR += tapGain[j] * preDelayR.read(tapPosB[j]);
        erLowpassL = (erL - erLowpassL) * bv.erCoef + erLowpassL;
        erLowpassR = (erR - erLowpassR) * bv.erCoef + erLowpassR;

        const float a = diffuse(diffuserA, bv.diffuserDelayA, smoothDiffusion, pL);
        const float b = diffuse(diffuserB, bv.diffuserDelayB, smoothDiffusion, pR);

        // Late field: every line is read (modulated, damped, band-split) before any is written.
        for (int i = 0; i < kLines; ++i)
        {
            double phase = bv.lfoStep[i] + lfoPhase[i];
            if (phase >= 1.0)
                phase -= 1.0;
            lfoPhase[i] = phase;
            const auto p = static_cast<float>(phase);
            const float lfo = std::sin((p * kLfoRatio + kLfoOffset) * kTwoPiF) * kLfoAmplitudeA +
                              std::sin(p * kTwoPiF) * kLfoAmplitudeB;
            const double depth = std::min(lateLength[i] * kModulationDepthRatio, bv.depthMax) *
                                 static_cast<double>(smoothModulation);
            const float y = lateLines[i].read(static_cast<double>(lfo) * depth + lateLength[i]);
            dampState[i] = (dampState[i] - y) * dampCoef[i] + y;
            lineOut[i] = dampState[i];
            lowState[i] = (dampState[i] - lowState[i]) * bv.lowCoef + lowState[i];
        }

        // The band above 250 Hz decays with the line's gain, the low band with the gain scaled by
        // warmth (capped below unity); the diffused inputs are injected into every line.
        const float warmth = smoothWarmth * kWarmthScale + kWarmthOffset;
        for (int i = 0; i < kLines; ++i)
        {
            const float sign = i < 8 ? kInjectionWeight : -kInjectionWeight;
            const float lowGain = std::min(feedbackGain[i] * warmth, kLoopGainCap);
            feedback[i] = (sign * b + kInjectionWeight * a) +
                          ((lineOut[i] - lowState[i]) * feedbackGain[i] + lowGain * lowState[i]);
        }
        hadamard16(feedback);
        for (int i = 0; i < kLines; ++i)
            lateLines[i].write(kWriteBackScale * feedback[i]);

        float sumL = 0.0f;
        float sumR = 0.0f;
        for (int i = 0; i < kLines; ++i)
            sumL += lineOut[i];
        for (int i = 0; i < kLines; ++i)
            sumR += (i % 2 == 0) ? lineOut[i] : -lineOut[i];
        const float lateL = sumL * kLateOutputScale;
        const float lateR = sumR * kLateOutputScale;

        const float vL = outAllpassL.read(bv.outAllpassDelayL) - kOutAllpassGain * lateL;
        outAllpassL.write(vL * kOutAllpassGain + lateL);
        const float vR = outAllpassR.read(bv.outAllpassDelayR) - kOutAllpassGain * lateR;
        outAllpassR.write(vR * kOutAllpassGain + lateR);

        dcYL = (vL - dcXL) + dcYL * kDcBlockerPole;
        dcXL = vL;
        dcYR = (vR - dcXR) + dcYR * kDcBlockerPole;
        dcXR = vR;

        const float dry = 1.0f - smoothMix;
        outL[n] = ((erLowpassL * bv.earlyWeight + bv.lateWeight * dcYL) * smoothMix + dry * xL) * smoothGainL;
        outR[n] = ((erLowpassR * bv.earlyWeight + bv.lateWeight * dcYR) * smoothMix + dry * xR) * smoothGainR;
    }
}

} // namespace corvella::vastora::reference
