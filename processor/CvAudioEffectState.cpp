// The processor's side of the state stream.
#include "processor/CvAudioEffect.h"
#include "processor/CvStateFormat.h"

#include <algorithm>
#include <limits>
#include <new>

namespace corvella {

using namespace Steinberg;

CvAudioEffect::StateValues::StateValues(std::size_t count)
{
    if (count <= kInlineValues)
        values = inlineValues;
    else
    {
        heap.reset(new (std::nothrow) double[count]);
        values = heap.get();
    }
}

tresult PLUGIN_API CvAudioEffect::getState(IBStream* stream)
{
    if (!stream)
        return kInvalidArgument;
    const std::size_t count = parameterSet.getRecords().size();
    StateValues saved(count);
    double* values = saved.data();
    if (!values)
        return kOutOfMemory;
    {
        const std::lock_guard<std::mutex> lock(mainThreadLock);
        exchange.latest(values);
    }
    // The processor knows no programs; the controller keeps the current one in its own state.
    const bool ok =
        state::write(stream, static_cast<std::int32_t>(count), [values](std::int32_t i) { return values[i]; }, 0);
    // A stream that refused bytes holds no usable state: the host must not store it as if it did.
    return ok ? kResultOk : kResultFalse;
}

tresult PLUGIN_API CvAudioEffect::setState(IBStream* stream)
{
    if (!stream)
        return kInvalidArgument;
    StateValues loaded(parameterSet.getRecords().size());
    double* values = loaded.data();
    if (!values)
        return kOutOfMemory;
    bool any = false;
    const tresult result = readState(stream, values, any);
    const std::lock_guard<std::mutex> lock(mainThreadLock);
    // What was read goes to the audio thread as one load, also when the stream ended early.
    if (any)
        exchange.load(values);
    if (result == kResultOk)
        stateLoaded();
    return result;
}

tresult CvAudioEffect::readState(IBStream* stream, double* values, bool& any) const
{
    const auto& records = parameterSet.getRecords();
    std::fill(values, values + records.size(), std::numeric_limits<double>::quiet_NaN());
    const state::ReadResult read = state::read(stream, static_cast<std::int32_t>(records.size()),
                                               [&](std::int32_t i, double v) {
                                                   // Through normalized and back: lands inside the
                                                   // record's range and on its steps.
                                                   const CvParamSpec& spec = records[std::size_t(i)];
                                                   const double normalized = CvParameterSet::toNormalized(spec, v);
                                                   const std::int32_t index = parameterSet.indexOf(spec.id);
                                                   if (index < 0)
                                                       return;
                                                   values[index] =
                                                       CvParameterSet::toPlain(records[std::size_t(index)], normalized);
                                                   any = true;
                                               });
    return read.complete ? kResultOk : kResultFalse;
}

} // namespace corvella
