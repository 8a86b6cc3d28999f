// Template part of ProcessorHarness.
namespace corvella::testing {

template <typename Sample>
Channels<Sample> ProcessorHarness::render(const Channels<Sample>& input, Steinberg::int32 blockSize,
                                          const std::map<int, BlockChanges>& changes, bool inPlace)
{
    using namespace Steinberg::Vst;
    constexpr bool is64 = sizeof(Sample) == 8;
    const auto channels = static_cast<Steinberg::int32>(input.size());
    const std::size_t frames = input.empty() ? 0 : input[0].size();
    Channels<Sample> output = inPlace ? input : Channels<Sample>(input.size(), std::vector<Sample>(frames));
    Channels<Sample> inputCopy = input;

    HostProcessData data;
    data.prepare(*comp, 0, is64 ? kSample64 : kSample32);
    ParameterChanges inChanges(16);
    data.inputParameterChanges = &inChanges;
    int block = 0;
    for (std::size_t done = 0; done < frames; done += static_cast<std::size_t>(blockSize), ++block)
    {
        const auto n = static_cast<Steinberg::int32>(std::min<std::size_t>(blockSize, frames - done));
        for (Steinberg::int32 c = 0; c < channels; ++c)
        {
            Sample* in = (inPlace ? output[c].data() : inputCopy[c].data()) + done;
            Sample* out = output[c].data() + done;
            if constexpr (is64)
            {
                data.setChannelBuffer64(kInput, 0, c, in);
                data.setChannelBuffer64(kOutput, 0, c, out);
            }
            else
            {
                data.setChannelBuffer(kInput, 0, c, in);
                data.setChannelBuffer(kOutput, 0, c, out);
            }
        }
        inChanges.clearQueue();
        if (auto it = changes.find(block); it != changes.end())
            addChanges(inChanges, it->second);
        data.numSamples = n;
        proc->process(data);
    }
    return output;
}

} // namespace corvella::testing
