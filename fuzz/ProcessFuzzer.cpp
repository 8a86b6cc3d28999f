// Decodes the fuzz input into a host's session with the processor: bus arrangements, set-ups at
// any rate, block size and sample size, activation, and blocks of any length (none, one frame,
// odd, longer than announced) in 32 or 64 bits, in place or not, with parameter queues of several
// points and non-finite or huge input samples. Every sample the processor writes is finite.
#include "FuzzDriver.h"

#include "public.sdk/source/vst/hosting/parameterchanges.h"

#include <iterator>
#include <limits>

using namespace corvella::fuzz;
using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr int kMaxOperations = 16;

double sampleRate(Input& in)
{
    constexpr double kInf = std::numeric_limits<double>::infinity();
    static constexpr double kRates[] = {44100.0, 48000.0, 96000.0, 192000.0, 8000.0, 22050.0, 768000.0,
                                        768000.5, 1.0, 0.9999, 5e-324, 2e-323, 0.0, -48000.0,
                                        std::numeric_limits<double>::quiet_NaN(), kInf, -kInf, 1e300, 1e-300};
    const std::uint8_t pick = in.byte();
    return pick < std::size(kRates) ? kRates[pick] : in.raw<double>();
}

SpeakerArrangement arrangement(std::uint8_t pick)
{
    static constexpr SpeakerArrangement kArrangements[] = {SpeakerArr::kStereo, SpeakerArr::kMono, SpeakerArr::k51,
                                                           SpeakerArr::kEmpty, SpeakerArr::kStereoSurround};
    return kArrangements[pick % std::size(kArrangements)];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static constexpr int32 kAnnounced[] = {512, 64, 1, 31, 2048, 0, -5};
    Input in(data, size);
    Processor p;
    int32 channels = 2; // the buses' channel count, as last accepted
    int32 announced = 0;
    bool prepared = false;
    bool active = false;
    for (int op = 0; op < kMaxOperations && !in.empty(); ++op)
    {
        switch (in.byte() % 8)
        {
        case 0:
        {
            SpeakerArrangement input = arrangement(in.byte()), output = arrangement(in.byte());
            if (p.audio->setBusArrangements(&input, 1, &output, 1) == kResultTrue)
                channels = SpeakerArr::getChannelCount(input);
            break;
        }
        case 1:
        {
            ProcessSetup setup{kRealtime, in.byte() % 3, kAnnounced[in.byte() % std::size(kAnnounced)], sampleRate(in)};
            p.audio->setupProcessing(setup);
            announced = setup.maxSamplesPerBlock;
            prepared = true;
            break;
        }
        case 2:
            active = in.byte() % 2;
            p.component->setActive(active);
            p.audio->setProcessing(active);
            break;
        default:
        {
            const std::uint8_t shape = in.byte();
            const int32 lengths[] = {0, 1, 3, 17, 64, 255, 1000, announced, announced + 1, 2 * announced + 1};
            Block block;
            block.frames = lengths[in.byte() % std::size(lengths)];
            block.sampleSize = shape & 1 ? kSample64 : kSample32;
            // Hosts that break the process contract: channel counts unlike the buses'.
            const bool contractKept = !(shape & 2);
            block.inChannels = contractKept ? channels : (shape >> 2) % 4;
            block.outChannels = contractKept ? channels : (shape >> 4) % 4;
            block.inPlace = contractKept && (shape & 64);
            ParameterChanges changes(16);
            for (int queues = in.byte() % 5; queues > 0; --queues)
            {
                int32 index = 0;
                IParamValueQueue* queue = changes.addParameterData(in.paramId(), index);
                for (int points = 1 + in.byte() % 4; queue && points > 0; --points)
                {
                    const int32 offset = in.byte();
                    queue->addPoint(offset, in.value(), index);
                }
            }
            block.changes = &changes;
            const bool finite = processBlock(*p.audio, block, in);
            // In place, a block that is not rendered keeps its input, finite or not.
            require(finite || (block.inPlace && !(prepared && active && block.frames > 0)),
                    "every output sample is finite");
            break;
        }
        }
    }
    if (active)
        p.component->setActive(false);
    return 0;
}
