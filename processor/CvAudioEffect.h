#pragma once

#include "params/CvParameterSet.h"

#include "public.sdk/source/vst/vstaudioeffect.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace corvella {

// The framework's generic VST3 audio component: one audio input and one output bus (mono or
// stereo, equal channel counts), 32- and 64-bit samples, the host's parameter changes taken into
// a store of plain values, and the state stream. It renders nothing itself.
//
// Threads: process() runs on the host's audio thread, getState/setState may run on another. Each
// plain value is an atomic double (untorn, lock-free); setState publishes what it loaded with a
// release that process() acquires at the start of every block, so the loaded values are all in
// place for the next block.
class CvAudioEffect : public Steinberg::Vst::AudioEffect
{
public:
    CvAudioEffect(const CvParamSpec* table, std::int32_t count, const Steinberg::FUID& controllerClassId);

    Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;
    Steinberg::tresult PLUGIN_API setBusArrangements(Steinberg::Vst::SpeakerArrangement* inputs, Steinberg::int32 numIns,
                                                     Steinberg::Vst::SpeakerArrangement* outputs,
                                                     Steinberg::int32 numOuts) override;
    Steinberg::tresult PLUGIN_API canProcessSampleSize(Steinberg::int32 symbolicSampleSize) override;
    Steinberg::tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup) override;
    Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* state) override;
    Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* state) override;

    // Range of sample rates taken from the host; outside it (or NaN) 44.1 kHz is used.
    static constexpr double kMinSampleRate = 1.0;
    static constexpr double kMaxSampleRate = 768000.0;
    static constexpr double kDefaultSampleRate = 44100.0;

protected:
    // Takes the last point of every parameter-change queue of the block into the plain values.
    void applyParameterChanges(Steinberg::Vst::ProcessData& data);
    // Makes the values of every setState that has returned visible to this (audio) thread.
    void acquireLoadedState() { (void)stateSerial.load(std::memory_order_acquire); }

    double getPlainValue(Steinberg::Vst::ParamID id) const;
    double getNormalizedValue(Steinberg::Vst::ParamID id) const;
    void setNormalizedValue(Steinberg::Vst::ParamID id, double normalized);
    const CvParameterSet& getParameterSet() const { return parameterSet; }

    CvParameterSet parameterSet;
    std::vector<std::atomic<double>> plainValues; // one per record, never resized
    double sampleRate = kDefaultSampleRate;
    Steinberg::int32 maxSamplesPerBlock = 0;

private:
    void storePlain(std::int32_t index, double plain) { plainValues[std::size_t(index)].store(plain, std::memory_order_relaxed); }
    double loadPlain(std::int32_t index) const { return plainValues[std::size_t(index)].load(std::memory_order_relaxed); }

    std::atomic<std::uint32_t> stateSerial{0};
};

} // namespace corvella
