#pragma once

#include "params/CvParameterSet.h"
#include "processor/CvValueExchange.h"

#include "public.sdk/source/vst/vstaudioeffect.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace corvella {

// The framework's generic VST3 audio component: one audio input and one output bus (mono or
// stereo, equal channel counts), 32- and 64-bit samples, the host's parameter changes taken into
// a store of plain values, and the state stream. It renders nothing itself.
//
// Threads: process() runs on the host's audio thread; getState and setState run on another (the
// host's main thread). The audio thread keeps the values of the block it processes to itself and
// exchanges them with the main thread through a CvValueExchange, so a state load reaches a block
// whole (all of its values or none) and getState saves one consistent set, without a lock or an
// allocation on the audio thread.
//
// Hosts have been seen to load and save states from several threads at once (autosave, undo
// snapshots, background preset loads). Those calls take turns on mainThreadLock; the audio thread
// never takes it. The host's stream is read before the lock is taken and written after it is
// released: a host may hand a stream's I/O to its main thread while that thread waits for the
// lock in another call.
//
// Within a block the host's automation wins: a load that is complete when a block starts is
// taken first and the block's parameter changes are laid over it. A load completed while a block
// is processed counts from the next block on and replaces what automation had set before.
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
    // Audio thread, first in every block: takes the newest complete state load, then the last
    // point of every parameter-change queue, into the block's values, and publishes them.
    void applyParameterChanges(Steinberg::Vst::ProcessData& data);
    // Audio thread: the block's value.
    double getPlainValue(Steinberg::Vst::ParamID id) const;

    // Main thread, under mainThreadLock: the values as the host last set them, by automation or a
    // state load. They stay in the returned buffer while the lock is held.
    const std::vector<double>& getLatestPlainValues();
    // Main thread, under mainThreadLock, after a state load has been handed to the audio thread
    // and only when it was read whole. Nothing by default.
    virtual void stateLoaded() {}
    // Any thread, wait-free: one value as the host last set it.
    double getLatestPlainValue(Steinberg::Vst::ParamID id) const;
    double getNormalizedValue(Steinberg::Vst::ParamID id) const;
    // Main thread: sets one value as a state load of that value alone would (takes the lock).
    void setNormalizedValue(Steinberg::Vst::ParamID id, double normalized);
    const CvParameterSet& getParameterSet() const { return parameterSet; }

    // Held by every state call and by whatever else works on the main thread's side of the
    // exchange. Never taken on the audio thread.
    std::mutex mainThreadLock;

    CvParameterSet parameterSet;
    std::vector<double> plainValues; // the block's values, one per record; the audio thread's
    // Read by getTailSamples, which hosts call from any thread, also while a set-up runs.
    std::atomic<double> sampleRate{kDefaultSampleRate};
    Steinberg::int32 maxSamplesPerBlock = 0;

private:
    // The values of one state call, held by the call itself: the host's stream is read and
    // written outside mainThreadLock. On the stack for tables of up to kInlineValues records, so
    // that loading and saving need no memory.
    class StateValues
    {
    public:
        explicit StateValues(std::size_t count);
        double* data() { return values; } // null when a large table's memory could not be had

    private:
        static constexpr std::size_t kInlineValues = 64;
        double inlineValues[kInlineValues];
        std::unique_ptr<double[]> heap;
        double* values = nullptr;
    };
    // Reads a stream into values (NaN for each value it did not hold); any tells whether it held
    // one at all.
    Steinberg::tresult readState(Steinberg::IBStream* state, double* values, bool& any) const;

    CvValueExchange exchange;
    // The main thread's working space for the exchange, under mainThreadLock, sized once.
    std::vector<double> mainValues;
};

} // namespace corvella
