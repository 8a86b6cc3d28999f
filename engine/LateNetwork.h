#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvella::vastora {

// Sixteen modulated, damped delay lines fed back through a 16-point Walsh-Hadamard transform,
// with the two diffused inputs injected into every line. The lines are the lanes of four SSE2
// vectors: every per-line step of a frame is one operation on four lines.
class LateNetwork
{
public:
    static constexpr int kLines = 16;

    // What the network needs for one block, per line unless noted.
    struct Block
    {
        alignas(16) std::int32_t lengthWhole[kLines]; // nominal delay, whole samples
        alignas(16) float lengthFrac[kLines];         // and its fraction
        alignas(16) float depth[kLines];              // modulation depth, samples
        alignas(16) float feedbackGain[kLines];       // above the low band
        alignas(16) float lowGain[kLines];            // of the low band
        alignas(16) float dampCoef[kLines];
        alignas(16) double phaseStep[kLines]; // LFO cycles per sample
        float lowCoef = 0.0f;
        std::uint32_t anchorMask = 0; // the sines are re-anchored when (frame & anchorMask) == 0
    };

    void allocate(const std::size_t* maxDelays);
    void clear();
    // LFO phases as after a reset: spread by the golden ratio, not yet reduced below one cycle.
    // Call it on empty lines only.
    void resetPhases();
    std::size_t size(int line) const { return mask[line] + 1u; }
    double phase(int line) const { return lfoPhase[line]; }

    // Longest run of frames process() can take at once: every read must reach back beyond the
    // run, because the run's writes are stored only at its end.
    static std::size_t maxChunk(const Block& block);

    // n frames (at most kMaxChunk): a and b are the diffused inputs, lateL and lateR receive the
    // late outputs. Gives the largest magnitude read from any line: the state the outputs may
    // not show (lines whose sum cancels, a near-DC tail) but a later change can let out.
    static constexpr std::size_t kMaxChunk = 64;
    float process(const float* a, const float* b, float* lateL, float* lateR, std::size_t n, const Block& block);

    // Moves the LFOs on by n frames without running the network.
    void advancePhases(std::size_t n, const Block& block);

private:
    // Sines are taken exactly at anchor frames and carried forward from there by the angle
    // difference, which stays small between anchors: sin(x0 + d) = sin x0 cos d + cos x0 sin d.
    struct Anchors
    {
        alignas(16) float angle[kLines];
        alignas(16) float sine[kLines];
        alignas(16) float cosine[kLines];
    };

    void storeWritten(std::size_t n);

    // All sixteen lines, one after the other, each behind one guard sample that repeats the
    // line's last sample, so that a sample and the one before it are always adjacent.
    std::vector<float> arena;
    alignas(16) float written[kMaxChunk * kLines]; // the run's writes, frame by frame
    Anchors anchorA{}, anchorB{};
    bool anchorsStale = true;
    alignas(16) std::int32_t offset[kLines] = {};
    alignas(16) std::int32_t mask[kLines] = {};
    alignas(16) double lfoPhase[kLines] = {};
    alignas(16) float dampState[kLines] = {};
    alignas(16) float lowState[kLines] = {};
    std::uint32_t frame = 0; // write position of every line, before its mask
};

} // namespace corvella::vastora
