#include "ProcessorHarness.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <utility>

namespace corvella::testing {

using namespace Steinberg;
using namespace Steinberg::Vst;

ProcessorHarness::ProcessorHarness(FUnknown* component)
    : comp(U::cast<IComponent>(component)), proc(U::cast<IAudioProcessor>(component))
{
}

ProcessorHarness::~ProcessorHarness()
{
    if (initialized)
        comp->terminate();
}

tresult ProcessorHarness::initialize()
{
    const tresult result = comp->initialize(&host);
    initialized = initialized || result == kResultOk;
    return result;
}

tresult ProcessorHarness::setBusArrangement(SpeakerArrangement arrangement)
{
    SpeakerArrangement in = arrangement, out = arrangement;
    return proc->setBusArrangements(&in, 1, &out, 1);
}

tresult ProcessorHarness::setup(double sampleRate, int32 maxBlock, int32 size)
{
    sampleSize = size;
    ProcessSetup setup{kRealtime, size, maxBlock, sampleRate};
    return proc->setupProcessing(setup);
}

tresult ProcessorHarness::activate(bool on)
{
    const tresult result = comp->setActive(on);
    proc->setProcessing(on);
    return result;
}

void ProcessorHarness::start(double sampleRate, int32 maxBlock, int32 size, SpeakerArrangement arrangement)
{
    initialize();
    setBusArrangement(arrangement);
    setup(sampleRate, maxBlock, size);
    activate(true);
}

tresult ProcessorHarness::flush(const BlockChanges& changes)
{
    ProcessData data;
    data.symbolicSampleSize = sampleSize;
    ParameterChanges inChanges(16);
    addChanges(inChanges, changes);
    data.inputParameterChanges = &inChanges;
    return proc->process(data);
}

std::vector<char> ProcessorHarness::getState()
{
    MemoryStream stream;
    if (comp->getState(&stream) != kResultOk)
        return {};
    return std::vector<char>(stream.getData(), stream.getData() + stream.getSize());
}

tresult ProcessorHarness::setState(const std::vector<char>& bytes)
{
    std::vector<char> copy = bytes;
    MemoryStream stream(copy.data(), static_cast<TSize>(copy.size()));
    return comp->setState(&stream);
}

void addChanges(ParameterChanges& target, const BlockChanges& changes)
{
    for (auto [id, value] : changes)
    {
        int32 index = 0;
        if (IParamValueQueue* queue = target.addParameterData(id, index))
            queue->addPoint(0, value, index);
    }
}

IMPLEMENT_FUNKNOWN_METHODS(RefusingStream, IBStream, IBStream::iid)

tresult PLUGIN_API RefusingStream::read(void*, int32, int32* numBytesRead)
{
    if (numBytesRead)
        *numBytesRead = 0;
    return kResultFalse;
}

tresult PLUGIN_API RefusingStream::write(void*, int32 numBytes, int32* written)
{
    const int32 accepted = std::min(numBytes, capacity - used);
    used += accepted;
    if (written)
        *written = accepted;
    return accepted == numBytes ? kResultOk : kResultFalse;
}

tresult PLUGIN_API RefusingStream::seek(int64, int32, int64*) { return kNotImplemented; }

tresult PLUGIN_API RefusingStream::tell(int64* pos)
{
    if (pos)
        *pos = used;
    return kResultOk;
}

HandOffStream::HandOffStream(std::function<void()> meanwhile, std::vector<char> bytes)
    : meanwhile(std::move(meanwhile))
{
    if (bytes.empty())
        return;
    MemoryStream::write(bytes.data(), static_cast<int32>(bytes.size()), nullptr);
    MemoryStream::seek(0, kIBSeekSet, nullptr);
}

tresult PLUGIN_API HandOffStream::read(void* buffer, int32 numBytes, int32* numBytesRead)
{
    handOff();
    return MemoryStream::read(buffer, numBytes, numBytesRead);
}

tresult PLUGIN_API HandOffStream::write(void* buffer, int32 numBytes, int32* written)
{
    handOff();
    return MemoryStream::write(buffer, numBytes, written);
}

void HandOffStream::handOff()
{
    if (!meanwhile)
        return;
    auto done = std::async(std::launch::async, std::exchange(meanwhile, nullptr));
    if (done.wait_for(std::chrono::seconds(20)) == std::future_status::timeout)
    {
        // The waiting thread cannot be joined: report and leave.
        std::fprintf(stderr, "FAILED: a call made while the plug-in used a stream never returned\n");
        std::_Exit(1);
    }
}

} // namespace corvella::testing
