#include "processor/CvAudioEffect.h"

#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace corvella {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

std::vector<double> defaultsOf(const CvParamSpec* table, std::int32_t count)
{
    std::vector<double> values;
    for (std::int32_t i = 0; i < count; ++i)
        values.push_back(table[i].defaultPlain);
    return values;
}

} // namespace

CvAudioEffect::CvAudioEffect(const CvParamSpec* table, std::int32_t count, const FUID& controllerClassId)
    : parameterSet(table, count),
      plainValues(defaultsOf(table, count)),
      exchange(plainValues),
      mainValues(plainValues.size())
{
    setControllerClass(controllerClassId);
}

tresult PLUGIN_API CvAudioEffect::initialize(FUnknown* context)
{
    const tresult result = AudioEffect::initialize(context);
    if (result != kResultOk)
        return result;
    addAudioInput(STR16("Stereo In"), SpeakerArr::kStereo, kMain, BusInfo::kDefaultActive);
    addAudioOutput(STR16("Stereo Out"), SpeakerArr::kStereo, kMain, BusInfo::kDefaultActive);
    return kResultOk;
}

tresult PLUGIN_API CvAudioEffect::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                     SpeakerArrangement* outputs, int32 numOuts)
{
    if (numIns != 1 || numOuts != 1 || !inputs || !outputs)
        return kResultFalse;
    // Only the channel counts matter: any two mono or any two two-channel arrangements will do.
    const int32 channels = SpeakerArr::getChannelCount(inputs[0]);
    if (channels != SpeakerArr::getChannelCount(outputs[0]) || (channels != 1 && channels != 2))
        return kResultFalse;
    AudioBus* in = getAudioInput(0);
    AudioBus* out = getAudioOutput(0);
    if (!in || !out) // not initialized yet
        return kResultFalse;
    in->setArrangement(inputs[0]);
    out->setArrangement(outputs[0]);
    return kResultTrue;
}

tresult PLUGIN_API CvAudioEffect::canProcessSampleSize(int32 symbolicSampleSize)
{
    return symbolicSampleSize == kSample32 || symbolicSampleSize == kSample64 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API CvAudioEffect::setupProcessing(ProcessSetup& setup)
{
    // Zero, negative, sub-hertz, NaN, infinite and absurd rates alike fall back to 44.1 kHz.
    const double rate = setup.sampleRate;
    sampleRate = (rate >= kMinSampleRate && rate <= kMaxSampleRate) ? rate : kDefaultSampleRate;
    maxSamplesPerBlock = setup.maxSamplesPerBlock;
    return AudioEffect::setupProcessing(setup);
}

void CvAudioEffect::applyParameterChanges(ProcessData& data)
{
    bool changed = exchange.takeLoad(plainValues.data());
    IParameterChanges* changes = data.inputParameterChanges;
    const int32 queueCount = changes ? changes->getParameterCount() : 0;
    for (int32 q = 0; q < queueCount; ++q)
    {
        IParamValueQueue* queue = changes->getParameterData(q);
        if (!queue)
            continue;
        const ParamID id = queue->getParameterId();
        const int32 points = queue->getPointCount();
        if (points <= 0)
            continue;
        // The value at the end of the block counts; there is no automation inside a block.
        int32 offset = 0;
        ParamValue value = 0.0;
        if (queue->getPoint(points - 1, offset, value) != kResultOk || !std::isfinite(value))
            continue;
        const std::int32_t index = parameterSet.indexOf(id);
        if (index < 0)
            continue;
        plainValues[std::size_t(index)] = CvParameterSet::toPlain(parameterSet.getRecords()[std::size_t(index)], value);
        changed = true;
    }
    if (changed)
        exchange.publish(plainValues.data());
}

double CvAudioEffect::getPlainValue(ParamID id) const
{
    const std::int32_t index = parameterSet.indexOf(id);
    return index < 0 ? 0.0 : plainValues[std::size_t(index)];
}

const std::vector<double>& CvAudioEffect::getLatestPlainValues()
{
    exchange.latest(mainValues.data());
    return mainValues;
}

double CvAudioEffect::getLatestPlainValue(ParamID id) const
{
    const std::int32_t index = parameterSet.indexOf(id);
    return index < 0 ? 0.0 : exchange.latest(std::size_t(index));
}

double CvAudioEffect::getNormalizedValue(ParamID id) const
{
    const std::int32_t index = parameterSet.indexOf(id);
    if (index < 0)
        return 0.0;
    return CvParameterSet::toNormalized(parameterSet.getRecords()[std::size_t(index)], getLatestPlainValue(id));
}

void CvAudioEffect::setNormalizedValue(ParamID id, double normalized)
{
    const std::int32_t index = parameterSet.indexOf(id);
    if (index < 0 || !std::isfinite(normalized))
        return;
    const std::lock_guard<std::mutex> lock(mainThreadLock);
    std::fill(mainValues.begin(), mainValues.end(), std::numeric_limits<double>::quiet_NaN());
    mainValues[std::size_t(index)] = CvParameterSet::toPlain(parameterSet.getRecords()[std::size_t(index)], normalized);
    exchange.load(mainValues.data());
}

} // namespace corvella
