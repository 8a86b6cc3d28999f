#pragma once

#include <cstdint>

// Tuning tables of the reverb. Every length is in samples at kReferenceRate and is scaled by
// sampleRate / kReferenceRate where it is used.
namespace corvella::vastora::reference::tables {

constexpr double kReferenceRate = 44100.0; // Hz
constexpr int kLateLineCount = 16;
constexpr int kDiffuserStages = 6;
constexpr int kTapCount = 16;

// Late-line lengths of the smallest room (A), of room 4 (B) and of the largest room (C).
// C also sizes the late lines. B is not sorted at lines 13/14; it is used line by line as is.
constexpr std::int32_t kLateLengthsA[kLateLineCount] = {1317, 1553, 1621, 1741, 1847, 2153, 2207, 2617,
                                                        3049, 3221, 3599, 3701, 3911, 4159, 4517, 4817};
constexpr std::int32_t kLateLengthsB[kLateLineCount] = {1847, 2089, 2221, 2617, 2819, 3067, 3599, 3917,
                                                        4339, 4703, 4933, 5297, 5641, 6637, 6521, 7351};
constexpr std::int32_t kLateLengthsC[kLateLineCount] = {4339, 4703, 4933, 5297, 5641,  5987,  6521,  6917,
                                                        7351, 7949, 8629, 9337, 10243, 11093, 12071, 14011};

// Allpass diffuser stages: chain A (left) and the per-stage extra length of chain B (right).
constexpr std::int32_t kDiffuserLengths[kDiffuserStages] = {149, 223, 307, 401, 557, 701};
constexpr std::int32_t kDiffuserOffsetsB[kDiffuserStages] = {11, 17, 23, 29, 37, 43};
constexpr float kDiffuserGains[kDiffuserStages] = {0.75f, 0.62f, 0.5f, 0.35f, 0.24f, 0.13f};

// Late-line modulation rates, Hz.
constexpr double kLfoRates[kLateLineCount] = {0.11, 0.17, 0.23, 0.29, 0.13, 0.19, 0.31, 0.37,
                                              0.41, 0.43, 0.47, 0.53, 0.57, 0.59, 0.61, 0.67};

// Output allpass lengths, left and right.
constexpr std::int32_t kOutAllpassLengthL = 173;
constexpr std::int32_t kOutAllpassLengthR = 191;

// Early-reflection taps on the left line, and the right line's extra offset per tap (unsorted,
// used in this order). kTapCentre is the mean of kTapTimes, the point the spread scales around.
constexpr std::int32_t kTapTimes[kTapCount] = {23,   501,  1687, 1489, 2385, 2085, 2646, 3171,
                                               3687, 3733, 4094, 3995, 4257, 4343, 4434, 4647};
constexpr std::int32_t kTapOffsetsB[kTapCount] = {0, 7, 13, 5, 11, 17, 23, 29, 19, 31, 37, 41, 43, 47, 0, 0};
constexpr double kTapCentre = 2948.5625;

// Step of every smoothed control per process() call.
constexpr float kSmoothingStep = 0.05f;

// Loop constants.
constexpr float kInjectionWeight = 0.125f;
constexpr float kWriteBackScale = 0.25f; // 1/sqrt(16): makes the Hadamard transform orthonormal
constexpr float kLateOutputScale = 0.25f;
constexpr float kWarmthScale = 0.45f;
constexpr float kWarmthOffset = 0.55f;
constexpr float kLoopGainCap = 0.9995f;
constexpr float kLfoRatio = 0.37f;
constexpr float kLfoOffset = 0.23f;
constexpr float kLfoAmplitudeA = 0.4f;
constexpr float kLfoAmplitudeB = 0.6f;
constexpr float kTwoPiF = 6.2831855f;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kModulationDepthRatio = 0.12;
constexpr double kMaxModulationDepth = 10.0; // samples at the reference rate
constexpr float kOutAllpassGain = 0.55f;
constexpr float kDcBlockerPole = 0.995f;
constexpr double kLowBandCutoffTerm = -1570.7963267948965; // -2 pi x 250 Hz
constexpr double kGoldenPhase = 0.61803398875;

} // namespace corvella::vastora::reference::tables
