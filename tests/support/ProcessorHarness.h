#pragma once

#include "base/source/fobject.h"
#include "pluginterfaces/base/funknownimpl.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "public.sdk/source/common/memorystream.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"
#include "public.sdk/source/vst/hosting/parameterchanges.h"
#include "public.sdk/source/vst/hosting/processdata.h"

#include <functional>
#include <map>
#include <vector>

namespace corvella::testing {

// Audio as one vector of samples per channel.
template <typename Sample>
using Channels = std::vector<std::vector<Sample>>;

// Parameter changes for one block: (parameter ID, normalized value of the block's last point).
using BlockChanges = std::vector<std::pair<Steinberg::Vst::ParamID, double>>;

// Drives an audio component the way a host does, through IComponent and IAudioProcessor, with
// the SDK's hosting helpers.
class ProcessorHarness
{
public:
    explicit ProcessorHarness(Steinberg::FUnknown* component);
    // Terminates what it initialized, as a host does before unloading: the component must let go
    // of the harness's host context before that context goes away.
    ~ProcessorHarness();
    ProcessorHarness(const ProcessorHarness&) = delete;
    ProcessorHarness& operator=(const ProcessorHarness&) = delete;

    Steinberg::Vst::IComponent& component() { return *comp; }
    Steinberg::Vst::IAudioProcessor& processor() { return *proc; }

    Steinberg::tresult initialize();
    Steinberg::tresult setBusArrangement(Steinberg::Vst::SpeakerArrangement arrangement);
    Steinberg::tresult setup(double sampleRate, Steinberg::int32 maxBlock,
                             Steinberg::int32 sampleSize = Steinberg::Vst::kSample32);
    Steinberg::tresult activate(bool on);

    // Initialise, set up and activate in one go (stereo unless told otherwise).
    void start(double sampleRate = 44100.0, Steinberg::int32 maxBlock = 512,
               Steinberg::int32 sampleSize = Steinberg::Vst::kSample32,
               Steinberg::Vst::SpeakerArrangement arrangement = Steinberg::Vst::SpeakerArr::kStereo);

    // Renders the input in blocks, applying changes[k] with block k. The output has as many
    // channels as the input. With inPlace the output is written over a copy of the input.
    template <typename Sample>
    Channels<Sample> render(const Channels<Sample>& input, Steinberg::int32 blockSize,
                            const std::map<int, BlockChanges>& changes = {}, bool inPlace = false);

    // One process call without buses (a parameter flush).
    Steinberg::tresult flush(const BlockChanges& changes);

    std::vector<char> getState();
    Steinberg::tresult setState(const std::vector<char>& bytes);

private:
    Steinberg::IPtr<Steinberg::Vst::IComponent> comp;
    Steinberg::IPtr<Steinberg::Vst::IAudioProcessor> proc;
    Steinberg::Vst::HostApplication host;
    Steinberg::int32 sampleSize = Steinberg::Vst::kSample32;
    bool initialized = false;
};

// Fills a ParameterChanges object with one point per change.
void addChanges(Steinberg::Vst::ParameterChanges& target, const BlockChanges& changes);

// A stream that accepts only a limited number of bytes, as a full disk or a host's fixed
// buffer would.
class RefusingStream final : public Steinberg::IBStream
{
public:
    explicit RefusingStream(Steinberg::int32 capacity) : capacity(capacity) {}
    Steinberg::tresult PLUGIN_API read(void*, Steinberg::int32, Steinberg::int32* numBytesRead) override;
    Steinberg::tresult PLUGIN_API write(void* buffer, Steinberg::int32 numBytes, Steinberg::int32* written) override;
    Steinberg::tresult PLUGIN_API seek(Steinberg::int64, Steinberg::int32, Steinberg::int64*) override;
    Steinberg::tresult PLUGIN_API tell(Steinberg::int64* pos) override;
    DECLARE_FUNKNOWN_METHODS

private:
    Steinberg::int32 capacity;
    Steinberg::int32 used = 0;
};

// A stream whose host does its I/O on its main thread, and has that thread finish a call of its
// own into the plug-in first: the stream's first read or write waits for `meanwhile`, run on
// another thread. A plug-in that holds a lock across the stream which that call needs hangs
// here, and the test program stops with a failure.
class HandOffStream final : public Steinberg::MemoryStream
{
public:
    explicit HandOffStream(std::function<void()> meanwhile, std::vector<char> bytes = {});
    Steinberg::tresult PLUGIN_API read(void* buffer, Steinberg::int32 numBytes, Steinberg::int32* numBytesRead) override;
    Steinberg::tresult PLUGIN_API write(void* buffer, Steinberg::int32 numBytes, Steinberg::int32* written) override;

private:
    void handOff();
    std::function<void()> meanwhile;
};

} // namespace corvella::testing

#include "ProcessorHarness.inl"
