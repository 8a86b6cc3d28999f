#pragma once

// The tables, the parameter record and the delay line are the product's own: data and a plain ring
// buffer that the geometry test pins against literal numbers; only the arithmetic is kept apart.
#include "engine/CvDspEngine.h"
#include "engine/DelayLine.h"
#include "engine/ReverbParams.h"

#include <array>
#include <cstdint>

namespace corvella::vastora::reference {

// Stereo algorithmic reverb: pre-delay with sixteen early taps per side, two six-stage allpass
// diffusers, a sixteen-line modulated feedback delay network coupled by a Hadamard matrix,
// output allpasses and DC blockers, then early/late balance, dry/wet mix and output gains.
class ReverbEngine : public CvDspEngine
{
public:
    // Range of sample rates the engine accepts; anything outside (or not a number) is treated as
    // 44.1 kHz. Larger rates overflow the sizing arithmetic, and rates below 1 Hz make the decay
    // gains 0/0.
    static constexpr double kMinSampleRate = 1.0;
    static constexpr double kMaxSampleRate = 768000.0;
    static constexpr double kDefaultSampleRate = 44100.0;

    ReverbEngine() = default;
    ~ReverbEngine() override = default;

    void prepare(double sampleRate, std::int32_t maxSamplesPerBlock) override;
    void reset() override;
    void setParameter(std::uint32_t paramId, double plainValue) override;
    void process(const float* inL, const float* inR, float* outL, float* outR,
                 std::int32_t numSamples) override;

    // Recomputes late-line lengths, decay gains and early taps from room size and spread.
    void updateRoom();

    // Range of the output levels, dB. Levels beyond it are pinned on entry: 10^(level / 20)
    // overflows float long before double, and an infinite gain would stay in the smoother for good.
    static constexpr double kMinOutputLevel = -18.0;
    static constexpr double kMaxOutputLevel = 18.0;

private:
    static constexpr int kLines = 16;
    static constexpr int kStages = 6;

    // Values fixed for one block, computed by the block preamble.
    struct BlockValues
    {
        double diffuserDelayA[kStages];
        double diffuserDelayB[kStages];
        double outAllpassDelayL;
        double outAllpassDelayR;
        double preDelaySamples;
        double depthMax;
        double lfoStep[kLines]; // lfoRate / sampleRate, cycles per sample
        float erCoef;
        float lowCoef;
        float earlyWeight;
        float lateWeight;
    };

    bool isPrepared() const { return maxPos > 0; }
    BlockValues updateBlock();
    void renderFrames(const BlockValues& bv, const float* inL, const float* inR, float* outL,
                      float* outR, std::int32_t numSamples);

    double sampleRate = kDefaultSampleRate;
    float smoothDiffusion = 1.0f;
    float smoothDamping = 0.3f;
    float smoothEarlyLate = 0.5f;
    float smoothMix = 0.5f;
    float smoothModulation = 0.25f;
    float smoothWarmth = 1.0f;
    float smoothGainL = 1.0f;
    float smoothGainR = 1.0f;
    double cachedRoom = -1.0;
    std::int32_t cachedSpread = -1;
    ReverbParams params;
    DelayLine preDelayL, preDelayR;
    std::array<DelayLine, kStages> diffuserA;
    std::array<DelayLine, kStages> diffuserB;
    std::array<DelayLine, kLines> lateLines;
    std::array<float, kLines> dampState{};
    std::array<float, kLines> lowState{};
    std::array<float, kLines> feedbackGain{};
    std::array<float, kLines> dampCoef{};
    std::array<double, kLines> lateLength{};
    std::array<double, kLines> lfoPhase{};
    std::array<double, kLines> lfoRate{};
    std::array<double, kLines> tapPosA{};
    std::array<double, kLines> tapPosB{};
    std::array<float, kLines> tapGain{};
    float erLowpassL = 0.0f, erLowpassR = 0.0f;
    DelayLine outAllpassL, outAllpassR;
    float dcYL = 0.0f, dcXL = 0.0f, dcYR = 0.0f, dcXR = 0.0f;
    std::int32_t maxPos = 0; // (int)sampleRate + 64 once prepared; 0 means not prepared

    // Tests and benchmarks look at the internal state through this.
    friend struct ReverbEngineProbe;
};

} // namespace corvella::vastora::reference
