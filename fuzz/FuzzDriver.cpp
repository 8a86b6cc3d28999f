#include "FuzzDriver.h"

#include "controller/CvEditController.h"
#include "controller/VastoraController.h"
#include "controller/VastoraPresets.h"
#include "params/VastoraParams.h"
#include "processor/VastoraProcessor.h"

#include "pluginterfaces/base/funknownimpl.h"
#include "public.sdk/source/common/memorystream.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <limits>

namespace corvella::fuzz {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

HostApplication& hostContext()
{
    static HostApplication host;
    return host;
}

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

template <typename T>
T readAt(const std::vector<char>& bytes, std::size_t offset)
{
    T v;
    std::memcpy(&v, bytes.data() + offset, sizeof v);
    return v;
}

template <typename Sample>
struct Buffers
{
    Buffers(int32 count, std::size_t frames) : channels(std::size_t(count), std::vector<Sample>(frames))
    {
        for (auto& c : channels)
            pointers.push_back(c.data());
    }
    std::vector<std::vector<Sample>> channels;
    std::vector<Sample*> pointers;
};

template <typename Sample>
void fill(Buffers<Sample>& in, Input& source)
{
    const std::uint8_t mode = source.byte() % 4;
    std::uint32_t noise = source.byte() * 2654435761u + 1u;
    const std::uint8_t spikeAt = source.byte();
    constexpr Sample kExtremes[] = {Sample(kNaN),
                                    Sample(kInf),
                                    Sample(-kInf),
                                    std::numeric_limits<Sample>::max(),
                                    std::numeric_limits<Sample>::lowest(),
                                    Sample(1e30),
                                    std::numeric_limits<Sample>::denorm_min()};
    const Sample spike = kExtremes[source.byte() % std::size(kExtremes)];
    for (auto& channel : in.channels)
        for (std::size_t i = 0; i < channel.size(); ++i)
        {
            noise = noise * 1664525u + 1013904223u;
            const Sample white = Sample(std::int32_t(noise)) / Sample(2147483648.0);
            switch (mode)
            {
            case 0: channel[i] = 0; break;
            case 1: channel[i] = white; break;
            case 2: channel[i] = i % 256 == spikeAt ? spike : white; break;
            default: channel[i] = source.raw<Sample>(); break;
            }
        }
}

template <typename Sample>
bool render(IAudioProcessor& audio, const Block& block, Input& source, Sample** AudioBusBuffers::*buffers)
{
    const std::size_t frames = block.frames > 0 ? std::size_t(block.frames) : 0;
    Buffers<Sample> in(block.inChannels, frames);
    fill(in, source);
    const bool inPlace = block.inPlace && block.inChannels == block.outChannels;
    Buffers<Sample> separate(inPlace ? 0 : block.outChannels, frames);
    Buffers<Sample>& out = inPlace ? in : separate;

    AudioBusBuffers inBus;
    inBus.numChannels = block.inChannels;
    inBus.*buffers = in.pointers.data();
    AudioBusBuffers outBus;
    outBus.numChannels = block.outChannels;
    outBus.*buffers = out.pointers.data();

    ProcessData data;
    data.processMode = kRealtime;
    data.symbolicSampleSize = block.sampleSize;
    data.numSamples = block.frames;
    data.numInputs = 1;
    data.inputs = &inBus;
    data.numOutputs = 1;
    data.outputs = &outBus;
    data.inputParameterChanges = block.changes;
    audio.process(data);

    for (const auto& channel : out.channels)
        for (Sample s : channel)
            if (!std::isfinite(s))
                return false;
    return true;
}

} // namespace

double Input::value()
{
    static constexpr double kSpecial[] = {
        0.0,   -0.0,  1.0,    0.5,     -1e-9, 1.0 + 1e-9, -1.0 / 14.0, -0.5, -1.0, 2.0,  1e300, -1e300,
        5e-324, 1e-310, kNaN, -kNaN, kInf, -kInf, std::numeric_limits<double>::max(), 1.0 / 14.0, 1.0 / 13.0,
    };
    constexpr int kGridEnd = 160;
    const int pick = byte();
    if (pick < int(std::size(kSpecial)))
        return kSpecial[pick];
    if (pick < kGridEnd) // a grid over [0, 1], where value texts and programs change
        return double(pick - int(std::size(kSpecial))) / double(kGridEnd - 1 - int(std::size(kSpecial)));
    return raw<double>();
}

ParamID Input::paramId()
{
    const std::uint8_t pick = byte() % 16;
    if (pick < vastora::kParamCount)
        return pick;
    switch (pick)
    {
    case 12: return kProgramListId;
    case 13: return vastora::kParamCount;
    case 14: return kNoParamId;
    default: return raw<ParamID>();
    }
}

void require(bool ok, const char* what)
{
    if (ok)
        return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

Processor::Processor()
{
    auto* p = new vastora::VastoraProcessor;
    component = owned(static_cast<IComponent*>(p));
    audio = U::cast<IAudioProcessor>(component);
    require(component->initialize(&hostContext()) == kResultOk, "processor initializes");
}

Processor::~Processor() { component->terminate(); }

Controller::Controller()
{
    edit = owned(static_cast<IEditController*>(new vastora::VastoraController));
    require(edit->initialize(&hostContext()) == kResultOk, "controller initializes");
}

Controller::~Controller() { edit->terminate(); }

tresult loadState(IComponent& component, const std::vector<char>& bytes)
{
    std::vector<char> copy = bytes;
    MemoryStream stream(copy.data(), TSize(copy.size()));
    return component.setState(&stream);
}

tresult loadState(IEditController& controller, const std::vector<char>& bytes, bool componentState)
{
    std::vector<char> copy = bytes;
    MemoryStream stream(copy.data(), TSize(copy.size()));
    return componentState ? controller.setComponentState(&stream) : controller.setState(&stream);
}

namespace {
template <typename Saver>
std::vector<char> save(Saver saveInto)
{
    MemoryStream stream;
    require(saveInto(&stream) == kResultOk, "getState succeeds");
    return std::vector<char>(stream.getData(), stream.getData() + stream.getSize());
}
} // namespace

std::vector<char> savedState(IComponent& component)
{
    return save([&](IBStream* s) { return component.getState(s); });
}

std::vector<char> savedState(IEditController& controller)
{
    return save([&](IBStream* s) { return controller.getState(s); });
}

void requireWholeState(const std::vector<char>& bytes, std::int32_t lowestProgram, std::int32_t highestProgram)
{
    constexpr std::size_t kValues = 8;
    constexpr std::size_t kProgram = kValues + 8 * vastora::kParamCount;
    require(bytes.size() == kProgram + 4, "a saved state holds 108 bytes");
    require(readAt<std::int32_t>(bytes, 0) == 2, "a saved state has version 2");
    require(readAt<std::int32_t>(bytes, 4) == vastora::kParamCount, "a saved state holds every parameter");
    const CvParamSpec* specs = vastora::parameterSpecs();
    for (int i = 0; i < vastora::kParamCount; ++i)
    {
        const double v = readAt<double>(bytes, kValues + 8 * std::size_t(i));
        require(std::isfinite(v), "a saved value is finite");
        require(v >= specs[i].minPlain && v <= specs[i].maxPlain, "a saved value lies inside its record's range");
        require(specs[i].scale != CvParamScale::Stepped || v == std::round(v), "a saved list value is a whole step");
    }
    const auto program = readAt<std::int32_t>(bytes, kProgram);
    require(program >= lowestProgram && program <= highestProgram, "a saved program index names a program or none");
}

bool processBlock(IAudioProcessor& audio, const Block& block, Input& samples)
{
    return block.sampleSize == kSample64 ? render<Sample64>(audio, block, samples, &AudioBusBuffers::channelBuffers64)
                                         : render<Sample32>(audio, block, samples, &AudioBusBuffers::channelBuffers32);
}

} // namespace corvella::fuzz
