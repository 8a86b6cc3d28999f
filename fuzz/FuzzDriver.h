#pragma once

// Shared by the fuzz targets: decodes the fuzz input into host calls, makes the product's
// processor and controller as a host gets them, and holds the checks every target makes.

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace corvella::fuzz {

// The fuzz input, read front to back. Past its end every read gives zero bytes, so every input
// decodes to something.
class Input
{
public:
    Input(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}

    bool empty() const { return pos >= size; }
    std::uint8_t byte() { return pos < size ? data[pos++] : 0; }
    template <typename T>
    T raw()
    {
        std::uint8_t bytes[sizeof(T)] = {};
        for (auto& b : bytes)
            b = byte();
        T v;
        std::memcpy(&v, bytes, sizeof v);
        return v;
    }
    // Mostly the values that break arithmetic (NaN, infinities, zeros, the ends of [0, 1] and
    // just beyond, huge and denormal numbers), else any double.
    double value();
    // One of the table's IDs, the program-change ID, the first ID past the table, or any ID.
    Steinberg::Vst::ParamID paramId();

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
};

// Ends the run when a check fails; libFuzzer keeps the input that did it.
void require(bool ok, const char* what);

// The product's processor, initialized with a host context, terminated when it goes.
struct Processor
{
    Processor();
    ~Processor();
    Steinberg::IPtr<Steinberg::Vst::IComponent> component;
    Steinberg::IPtr<Steinberg::Vst::IAudioProcessor> audio;
};

// The product's edit controller, initialized with a host context, terminated when it goes.
struct Controller
{
    Controller();
    ~Controller();
    Steinberg::IPtr<Steinberg::Vst::IEditController> edit;
};

// What a state reader sees: the bytes, in a stream of the host's.
Steinberg::tresult loadState(Steinberg::Vst::IComponent& component, const std::vector<char>& bytes);
Steinberg::tresult loadState(Steinberg::Vst::IEditController& controller, const std::vector<char>& bytes,
                             bool componentState);
std::vector<char> savedState(Steinberg::Vst::IComponent& component);
std::vector<char> savedState(Steinberg::Vst::IEditController& controller);

// A saved state is whole: version 2, twelve values, each finite and inside its record's range
// (on a step for a stepped record), and a program index from lowestProgram to the last preset.
void requireWholeState(const std::vector<char>& bytes, std::int32_t lowestProgram, std::int32_t highestProgram);

// One process call on buffers of the driver's own, sized exactly as announced to the processor.
struct Block
{
    Steinberg::int32 sampleSize = Steinberg::Vst::kSample32;
    Steinberg::int32 inChannels = 2;
    Steinberg::int32 outChannels = 2;
    Steinberg::int32 frames = 64;
    bool inPlace = false;
    Steinberg::Vst::IParameterChanges* changes = nullptr;
};
// Fills the inputs from the fuzz input (silence, noise, one extreme value, or raw samples),
// processes and returns whether every output sample is finite.
bool processBlock(Steinberg::Vst::IAudioProcessor& audio, const Block& block, Input& samples);

} // namespace corvella::fuzz
