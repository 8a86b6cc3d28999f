#pragma once

#include "CvDspEngine.h"
#include "DiffuserChain.h"
#include "EarlyReflections.h"
#include "LateNetwork.h"
#include "OutputStage.h"
#include "ReverbParams.h"

#include <array>
#include <limits>
#include <cstdint>

namespace corvella::vastora {

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
        float erCoef;
        float lowCoef;
        float earlyWeight;
        float lateWeight;
    };

    // The block values as the stages take them.
    struct StagePlan
    {
        FixedDelay preDelay;
        FixedDelay diffuserA[kStages], diffuserB[kStages];
        float gainA[kStages], gainB[kStages];
        FixedDelay outAllpassL, outAllpassR;
        LateNetwork::Block late;
        std::size_t chunk; // frames the stages can take at once
    };

    bool isPrepared() const { return maxPos > 0; }
    BlockValues updateBlock();
    void planStages(const BlockValues& bv);
    void renderFrames(const BlockValues& bv, const float* inL, const float* inR, float* outL, float* outR,
                      std::int32_t numSamples);
    void clearAudio();

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
    std::array<float, kLines> feedbackGain{};
    std::array<float, kLines> dampCoef{};
    std::array<double, kLines> lateLength{};
    std::array<double, kLines> lfoRate{};
    std::array<double, kLines> tapPosA{};
    std::array<double, kLines> tapPosB{};
    std::array<float, kLines> tapGain{};
    std::int32_t maxPos = 0; // (int)sampleRate + 64 once prepared; 0 means not prepared

    // Results of the block's exponentials and powers, with the inputs they were taken for; NaN
    // keys (after prepare) and a new geometry force them to be taken again.
    struct Curves
    {
        static constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
        double reverbTime = kNone; // feedbackGain holds the gains for this time
        double erCutoff = kNone;
        float erCoef = 0.0f, lowCoef = 0.0f;
        double dampCutoff = kNone;
        double dampingTarget = 0.0;
        float lineDampTarget[kLines] = {};
        double levelL = kNone, levelR = kNone;
        double gainL = 1.0, gainR = 1.0;
    };
    Curves curves;

    // The signal path, stage by stage.
    EarlyReflections early;
    DiffuserChain diffuserA, diffuserB;
    LateNetwork late;
    OutputStage outputL, outputR;
    StagePlan plan{};

    // Once the input has been exactly silent and the network's early and late signals, and every
    // value read from its lines (at the most it can add up to at an output), have stayed below
    // kQuietNetworkLevel for longer than the longest path through the network, the state is
    // cleared and the network skipped until input returns. The decision must not depend on the
    // balance, the mix or the output levels, which may open at any time and let out a tail that
    // was merely hidden: the signals are judged at the largest gain those can give (balance and
    // mix at most 1, the output level at kMaxOutputLevel), so what is cleared would stay below
    // kQuietLevel at the output under any settings.
    static constexpr float kQuietLevel = 1e-6f; // -120 dBFS
    static constexpr float kMaxOutputGain = 7.94328235f; // 10^(kMaxOutputLevel / 20)
    static_assert(kMaxOutputLevel == 18.0, "kMaxOutputGain must follow kMaxOutputLevel");
    static constexpr float kQuietNetworkLevel = kQuietLevel / kMaxOutputGain;
    std::size_t quietFrames = 0;
    std::size_t idleAfterFrames = 0;
    bool idle = false;

    // Tests and benchmarks look at the internal state through this.
    friend struct ReverbEngineProbe;
};

} // namespace corvella::vastora
