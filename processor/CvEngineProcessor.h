#pragma once

#include "engine/CvDspEngine.h"
#include "processor/CvAudioEffect.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>
#include <vector>

namespace corvella {

// Channel count of input bus 0; 0 when the block has no input bus.
inline Steinberg::int32 inputChannelCount(const Steinberg::Vst::ProcessData& data)
{
    return data.numInputs > 0 && data.inputs ? data.inputs[0].numChannels : 0;
}

// Turns CvAudioEffect into a working effect around one DSP engine of type T, held by value and
// driven only through the CvDspEngine operations: prepare on set-up, reset on activation, all
// parameter values before every block, and process for every block of 32- or 64-bit samples.
template <typename T>
class CvEngineProcessor : public CvAudioEffect
{
public:
    CvEngineProcessor(const CvParamSpec* table, std::int32_t count, const Steinberg::FUID& controllerClassId)
        : CvAudioEffect(table, count, controllerClassId)
    {
    }

    Steinberg::tresult PLUGIN_API setActive(Steinberg::TBool state) override
    {
        // Not while a state load on another thread pushes its values into the engine.
        const std::lock_guard<std::mutex> lock(mainThreadLock);
        if (state)
            engineInterface().reset();
        active.store(state != 0, std::memory_order_release);
        return Steinberg::Vst::AudioEffect::setActive(state);
    }

    Steinberg::tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup) override
    {
        // Not while a state load on another thread pushes its values into the engine.
        const std::lock_guard<std::mutex> lock(mainThreadLock);
        const Steinberg::tresult result = CvAudioEffect::setupProcessing(setup);
        // An exception must not reach the host. An engine whose storage could not be had is left
        // unprepared, and an unprepared engine renders silence until a later set-up succeeds.
        bool allocated = true;
        try
        {
            engineInterface().prepare(sampleRate, maxSamplesPerBlock);
        }
        catch (const std::bad_alloc&)
        {
            allocated = false;
        }
        // 64-bit blocks cannot be rendered without working memory; 32-bit ones need none.
        if (!allocateWorkBuffers() && setup.symbolicSampleSize == Steinberg::Vst::kSample64)
            allocated = false;
        prepared = true;
        return allocated ? result : Steinberg::kOutOfMemory;
    }

    Steinberg::tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data) override
    {
        using namespace Steinberg;
        using namespace Steinberg::Vst;

        applyParameterChanges(data);
        pushParametersToEngine();

        if (data.numInputs == 0 || data.numOutputs == 0 || !data.inputs || !data.outputs || !prepared)
            return kResultOk;
        AudioBusBuffers& in = data.inputs[0];
        AudioBusBuffers& out = data.outputs[0];
        const int32 channels = inputChannelCount(data);
        out.silenceFlags = 0;
        if (data.numSamples < 1)
            return kResultOk;
        // A host that supplies fewer output than input channels (or none at all) breaks the
        // process contract: write nothing it did not hand us.
        const int32 used = std::min<int32>(channels, 2);
        if (used < 1 || out.numChannels < used)
            return kResultOk;

        if (data.symbolicSampleSize == kSample32)
            process32(in, out, used, data.numSamples);
        else if (data.symbolicSampleSize == kSample64)
            process64(in, out, used, data.numSamples);
        else
            return kResultFalse;
        return kResultOk;
    }

    // Audio thread: every record's value of the block into the engine, in record order.
    void pushParametersToEngine()
    {
        pushToEngine([this](std::size_t i) { return plainValues[i]; });
    }

protected:
    void stateLoaded() override
    {
        // While processing runs, the engine belongs to the audio thread, which takes the load
        // at its next block anyway.
        if (active.load(std::memory_order_acquire))
            return;
        const std::vector<double>& values = getLatestPlainValues();
        pushToEngine([&values](std::size_t i) { return values[i]; });
    }

    T engine;
    bool prepared = false;

private:
    // Hosts that ask for more than this per block get their blocks rendered in chunks.
    static constexpr Steinberg::int32 kMaxWorkFrames = 1 << 20;
    static constexpr Steinberg::int32 kFallbackWorkFrames = 1024;

    CvDspEngine& engineInterface() { return engine; }

    template <typename ValueAt>
    void pushToEngine(ValueAt valueAt)
    {
        CvDspEngine& e = engineInterface();
        const auto& records = getParameterSet().getRecords();
        for (std::size_t i = 0; i < records.size(); ++i)
            e.setParameter(records[i].id, valueAt(i));
    }

    template <typename Sample>
    static bool hasChannels(Sample** buffers, Steinberg::int32 count)
    {
        if (!buffers)
            return false;
        for (Steinberg::int32 c = 0; c < count; ++c)
            if (!buffers[c])
                return false;
        return true;
    }

    // The engine works directly on the host's buffers. With one channel, both engine outputs
    // point at it, so it ends up with the engine's right output.
    void process32(Steinberg::Vst::AudioBusBuffers& in, Steinberg::Vst::AudioBusBuffers& out,
                   Steinberg::int32 channels, Steinberg::int32 numSamples)
    {
        if (!hasChannels(in.channelBuffers32, channels) || !hasChannels(out.channelBuffers32, channels))
            return;
        const int right = channels >= 2 ? 1 : 0;
        engineInterface().process(in.channelBuffers32[0], in.channelBuffers32[right], out.channelBuffers32[0],
                                  out.channelBuffers32[right], numSamples);
    }

    // The engine works in float: convert through working buffers kept from setupProcessing, so
    // that nothing is allocated here. With one channel the engine's left output is kept.
    void process64(Steinberg::Vst::AudioBusBuffers& in, Steinberg::Vst::AudioBusBuffers& out,
                   Steinberg::int32 channels, Steinberg::int32 numSamples)
    {
        if (!hasChannels(in.channelBuffers64, channels) || !hasChannels(out.channelBuffers64, channels))
            return;
        const int right = channels >= 2 ? 1 : 0;
        Steinberg::Vst::Sample64* const* src = in.channelBuffers64;
        Steinberg::Vst::Sample64* const* dst = out.channelBuffers64;
        if (workFrames == 0)
        {
            // No working memory could be had: silence rather than garbage.
            for (Steinberg::int32 c = 0; c < channels; ++c)
                std::fill(dst[c], dst[c] + numSamples, 0.0);
            return;
        }
        float* inL = work.get();
        float* inR = inL + workFrames;
        float* outL = inR + workFrames;
        float* outR = outL + workFrames;
        for (Steinberg::int32 done = 0; done < numSamples;)
        {
            const Steinberg::int32 n = std::min(workFrames, numSamples - done);
            for (Steinberg::int32 i = 0; i < n; ++i)
            {
                inL[i] = static_cast<float>(src[0][done + i]);
                inR[i] = static_cast<float>(src[right][done + i]);
            }
            engineInterface().process(inL, inR, outL, outR, n);
            for (Steinberg::int32 i = 0; i < n; ++i)
                dst[0][done + i] = static_cast<double>(outL[i]);
            if (channels >= 2)
                for (Steinberg::int32 i = 0; i < n; ++i)
                    dst[1][done + i] = static_cast<double>(outR[i]);
            done += n;
        }
    }

    // False when no working memory is at hand. Memory that cannot be had for a larger block size
    // leaves the buffers there are: process64 renders larger blocks in chunks.
    bool allocateWorkBuffers()
    {
        Steinberg::int32 frames = maxSamplesPerBlock > 0 ? maxSamplesPerBlock : kFallbackWorkFrames;
        frames = std::min(frames, kMaxWorkFrames);
        if (frames == workFrames && work)
            return true;
        std::unique_ptr<float[]> fresh(new (std::nothrow) float[std::size_t(frames) * 4]());
        if (fresh)
        {
            work = std::move(fresh);
            workFrames = frames;
        }
        return workFrames > 0;
    }

    std::unique_ptr<float[]> work; // left in, right in, left out, right out
    Steinberg::int32 workFrames = 0;
    std::atomic<bool> active{false};
};

} // namespace corvella
