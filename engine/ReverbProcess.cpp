#include "ReverbEngine.h"

#include "CvMath.h"
#include "ReverbGeometry.h"
#include "ReverbTables.h"
#include "ScopedFlushDenormals.h"

#include <algorithm>
#include <cmath>

namespace corvella::vastora {

using namespace tables;

namespace {

// Clamp that tests the upper bound first, so that when hi < lo the result is hi.
double clampHiFirst(double x, double lo, double hi) { return x > hi ? hi : (x < lo ? lo : x); }

float smoothToward(float state, double target)
{
    return (static_cast<float>(target) - state) * kSmoothingStep + state;
}

// A bad sample from the host must not circulate in the network until the next reset. A finite
// one near the float limit is as bad: at very low rates the taps and lines coincide and their sums
// overflow. +300 dBFS leaves any real signal untouched and the sums far from the limit.
constexpr float kMaxInputMagnitude = 1.0e15f;
float finiteOrSilence(float x)
{
    return std::isfinite(x) ? std::clamp(x, -kMaxInputMagnitude, kMaxInputMagnitude) : 0.0f;
}

// The most a late output can be for the largest value read from a line: all sixteen lines at
// that value, summed and scaled.
constexpr float kLinesToOutput = LateNetwork::kLines * kLateOutputScale;

} // namespace

ReverbEngine::BlockValues ReverbEngine::updateBlock()
{
    const std::int32_t room = clampRoomIndex(params.roomSize);
    const std::int32_t spread = clampSpreadIndex(params.spread);
    if (cachedRoom != static_cast<double>(room) || cachedSpread != spread)
        updateRoom();

    // Decay gains follow the reverb time at every block, without smoothing. The exponentials
    // and powers below are taken again only when their inputs change.
    if (curves.reverbTime != params.reverbTime)
    {
        for (int i = 0; i < kLines; ++i)
            feedbackGain[i] = decayGain(lateLength[i], params.reverbTime, sampleRate);
        curves.reverbTime = params.reverbTime;
    }

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
    if (curves.erCutoff != erCutoff)
    {
        curves.erCoef = static_cast<float>(1.0 - cvmath::exp((erCutoff * -kTwoPi) / sampleRate));
        curves.lowCoef = static_cast<float>(1.0 - cvmath::exp(kLowBandCutoffTerm / sampleRate));
        curves.erCutoff = erCutoff;
    }
    bv.erCoef = curves.erCoef;
    bv.lowCoef = curves.lowCoef;
    if (curves.dampCutoff != dampCutoff)
    {
        curves.dampingTarget = cvmath::exp((dampCutoff * -kTwoPi) / sampleRate);
        // Lines i mod 4 = 0..3 are damped at 0.85, 0.95, 1.05 and 1.15 times the cutoff, so the
        // high end decays unevenly across the network instead of in lockstep.
        for (int i = 0; i < kLines; ++i)
        {
            const float k = static_cast<float>(i % 4) * 0.3f / 3.0f + 0.85f;
            curves.lineDampTarget[i] =
                static_cast<float>(cvmath::exp((static_cast<double>(k) * (dampCutoff * -kTwoPi)) / sampleRate));
        }
        curves.dampCutoff = dampCutoff;
    }
    if (curves.levelL != params.outputLevelL)
    {
        curves.gainL = cvmath::pow(10.0, params.outputLevelL / 20.0);
        curves.levelL = params.outputLevelL;
    }
    if (curves.levelR != params.outputLevelR)
    {
        curves.gainR = cvmath::pow(10.0, params.outputLevelR / 20.0);
        curves.levelR = params.outputLevelR;
    }

    const double diffusionTarget = clampHiFirst(params.diffusion / 100.0, 0.0, 1.0);
    const double earlyLateTarget = clampHiFirst(params.earlyLate / 100.0, 0.0, 1.0);
    const double mixTarget = clampHiFirst(params.mix / 100.0, 0.0, 1.0);
    const double modulationTarget = clampHiFirst(params.modulation / 100.0, 0.0, 1.0);
    const double warmthTarget = clampHiFirst(params.warmth, 0.1, 1.5);
    bv.preDelaySamples = clampHiFirst(params.preDelay * 0.001 * sampleRate, 1.0, maxPos - 1);

    smoothDiffusion = smoothToward(smoothDiffusion, diffusionTarget);
    smoothDamping = smoothToward(smoothDamping, curves.dampingTarget);
    smoothEarlyLate = smoothToward(smoothEarlyLate, earlyLateTarget);
    smoothWarmth = smoothToward(smoothWarmth, warmthTarget);
    smoothMix = smoothToward(smoothMix, mixTarget);
    smoothModulation = smoothToward(smoothModulation, modulationTarget);
    smoothGainL = smoothToward(smoothGainL, curves.gainL);
    smoothGainR = smoothToward(smoothGainR, curves.gainR);

    for (int i = 0; i < kLines; ++i)
    {
        const float target = curves.lineDampTarget[i];
        dampCoef[i] = (target - dampCoef[i]) * kSmoothingStep + dampCoef[i];
        if (!(dampCoef[i] > 0.0f && dampCoef[i] < 1.0f))
            dampCoef[i] = smoothDamping;
    }

    bv.earlyWeight = smoothEarlyLate;
    bv.lateWeight = 1.0f - bv.earlyWeight;
    bv.depthMax = ratio * kMaxModulationDepth;
    return bv;
}

void ReverbEngine::planStages(const BlockValues& bv)
{
    plan.preDelay = FixedDelay::of(bv.preDelaySamples);
    std::size_t chunk = std::min(RingBuffer::kGuard, early.maxChunk(plan.preDelay));
    for (int k = 0; k < kStages; ++k)
    {
        plan.diffuserA[k] = FixedDelay::of(bv.diffuserDelayA[k]);
        plan.diffuserB[k] = FixedDelay::of(bv.diffuserDelayB[k]);
        plan.gainA[k] = plan.gainB[k] = smoothDiffusion * kDiffuserGains[k];
        chunk = std::min({chunk, plan.diffuserA[k].whole, plan.diffuserB[k].whole});
    }
    plan.outAllpassL = FixedDelay::of(bv.outAllpassDelayL);
    plan.outAllpassR = FixedDelay::of(bv.outAllpassDelayR);
    plan.chunk = std::min({chunk, plan.outAllpassL.whole, plan.outAllpassR.whole});

    LateNetwork::Block& lb = plan.late;
    const float warmth = smoothWarmth * kWarmthScale + kWarmthOffset;
    for (int i = 0; i < kLines; ++i)
    {
        const double length = lateLength[i];
        lb.lengthWhole[i] = static_cast<std::int32_t>(length);
        lb.lengthFrac[i] = static_cast<float>(length - static_cast<double>(lb.lengthWhole[i]));
        lb.depth[i] = static_cast<float>(std::min(length * kModulationDepthRatio, bv.depthMax) *
                                         static_cast<double>(smoothModulation));
        lb.feedbackGain[i] = feedbackGain[i];
        lb.lowGain[i] = std::min(feedbackGain[i] * warmth, kLoopGainCap);
        lb.dampCoef[i] = dampCoef[i];
        lb.phaseStep[i] = lfoRate[i] / sampleRate;
    }
    lb.lowCoef = bv.lowCoef;
    // Every 64 frames while the angles move less than 0.04 radians in that time (at any rate
    // above 7 kHz), otherwise at every frame.
    double fastestStep = 0.0;
    for (double step : lb.phaseStep)
        fastestStep = std::max(fastestStep, step);
    lb.anchorMask = fastestStep * 64.0 * kTwoPi < 0.04 ? 63u : 0u;
    plan.chunk = std::min(plan.chunk, LateNetwork::maxChunk(lb));
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
    planStages(bv);
    renderFrames(bv, inL, inR, outL, outR, numSamples);
}

void ReverbEngine::renderFrames(const BlockValues& bv, const float* inL, const float* inR, float* outL,
                                float* outR, std::int32_t numSamples)
{
    constexpr std::size_t kMaxChunk = RingBuffer::kGuard;
    alignas(16) float xL[kMaxChunk], xR[kMaxChunk], preL[kMaxChunk], preR[kMaxChunk];
    alignas(16) float earlyL[kMaxChunk], earlyR[kMaxChunk], lateL[kMaxChunk], lateR[kMaxChunk];
    alignas(16) float wetL[kMaxChunk], wetR[kMaxChunk];
    const auto total = static_cast<std::size_t>(numSamples);
    const float mix = smoothMix, dry = 1.0f - smoothMix;

    for (std::size_t done = 0; done < total;)
    {
        if (idle)
        {
            // Skip the network while the input stays silent; the LFOs keep their pace.
            std::size_t end = done;
            while (end < total && finiteOrSilence(inL[end]) == 0.0f && finiteOrSilence(inR[end]) == 0.0f)
                ++end;
            late.advancePhases(end - done, plan.late);
            for (std::size_t m = done; m < end; ++m)
                outL[m] = outR[m] = 0.0f;
            done = end;
            if (done == total)
                return;
            idle = false;
            quietFrames = 0;
        }

        const std::size_t n = std::min(plan.chunk, total - done);
        bool sound = false;
        for (std::size_t m = 0; m < n; ++m)
        {
            xL[m] = finiteOrSilence(inL[done + m]);
            xR[m] = finiteOrSilence(inR[done + m]);
            sound |= (xL[m] != 0.0f) | (xR[m] != 0.0f);
        }

        early.process(xL, xR, n, plan.preDelay, bv.erCoef, preL, preR, earlyL, earlyR);
        diffuserA.process(preL, n, plan.diffuserA, plan.gainA);
        diffuserB.process(preR, n, plan.diffuserB, plan.gainB);
        // The lines themselves are judged, not only what the outputs show of them: their sum may
        // cancel a tail, and the output stage's DC blocker hides a near-DC one, that a later
        // room-size change lets out. Each output is a quarter of the sum of sixteen lines.
        const float largestRead = late.process(preL, preR, lateL, lateR, n, plan.late);
        float peak = largestRead * kLinesToOutput;
        outputL.process(lateL, n, plan.outAllpassL);
        outputR.process(lateR, n, plan.outAllpassR);

        for (std::size_t m = 0; m < n; ++m)
            wetL[m] = ((earlyL[m] * bv.earlyWeight + bv.lateWeight * lateL[m]) * mix + dry * xL[m]) * smoothGainL;
        for (std::size_t m = 0; m < n; ++m)
            wetR[m] = ((earlyR[m] * bv.earlyWeight + bv.lateWeight * lateR[m]) * mix + dry * xR[m]) * smoothGainR;
        for (std::size_t m = 0; m < n; ++m)
            peak = std::max({peak, std::fabs(earlyL[m]), std::fabs(earlyR[m]), std::fabs(lateL[m]), std::fabs(lateR[m])});
        const bool loud = peak >= kQuietNetworkLevel;
        // Left first: with one buffer for both outputs, the right channel remains.
        std::copy(wetL, wetL + n, outL + done);
        std::copy(wetR, wetR + n, outR + done);
        done += n;

        quietFrames = (sound || loud) ? 0 : quietFrames + n;
        if (quietFrames > idleAfterFrames)
        {
            clearAudio();
            idle = true;
        }
    }
}

} // namespace corvella::vastora
