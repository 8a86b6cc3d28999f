// The fuzz input is a state stream, loaded into the processor (setState) and the controller
// (setComponentState and setState). Whatever the stream holds, the state saved afterwards is whole
// and in range, and the processor renders finite audio with it.
#include "FuzzDriver.h"

#include "controller/VastoraPresets.h"

using namespace corvella::fuzz;
using namespace Steinberg;
using namespace Steinberg::Vst;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<char> stream(data, data + size);
    {
        Processor p;
        loadState(*p.component, stream);
        // The processor knows no programs: its stream names the first one or none.
        requireWholeState(savedState(*p.component), -1, 0);
        // A low rate keeps the engine's lines short: every input sets a new processor up.
        ProcessSetup setup{kRealtime, kSample32, 64, 8000.0};
        p.audio->setupProcessing(setup);
        p.component->setActive(true);
        const std::uint8_t noise[] = {1, 7};
        for (const int32 sampleSize : {kSample32, kSample64})
        {
            Input samples(noise, sizeof noise);
            Block block;
            block.sampleSize = sampleSize;
            require(processBlock(*p.audio, block, samples), "a loaded state renders finite samples");
        }
        p.component->setActive(false);
    }
    Controller c;
    const auto lastProgram = static_cast<std::int32_t>(corvella::vastora::gFactoryPresets.size()) - 1;
    for (const bool componentState : {true, false})
    {
        loadState(*c.edit, stream, componentState);
        requireWholeState(savedState(*c.edit), -1, lastProgram);
        for (int32 i = 0; i < c.edit->getParameterCount(); ++i)
        {
            ParameterInfo info{};
            c.edit->getParameterInfo(i, info);
            const double v = c.edit->getParamNormalized(info.id);
            require(v >= 0.0 && v <= 1.0, "a loaded normalized value lies in [0, 1]");
        }
    }
    return 0;
}
