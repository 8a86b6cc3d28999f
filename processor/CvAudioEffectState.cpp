// The processor's side of the state stream.
#include "processor/CvAudioEffect.h"
#include "processor/CvStateFormat.h"

#include <algorithm>

namespace corvella {

using namespace Steinberg;

tresult PLUGIN_API CvAudioEffect::getState(IBStream* stream)
{
    if (!stream)
        return kInvalidArgument;
    const auto count = static_cast<std::int32_t>(parameterSet.getRecords().size());
    const std::lock_guard<std::mutex> lock(mainThreadLock);
    // The processor knows no programs; the controller keeps the current one in its own state.
    const std::vector<double>& values = getLatestPlainValues();
    const bool ok = state::write(stream, count, [&values](std::int32_t i) { return values[std::size_t(i)]; }, 0);
    // A stream that refused bytes holds no usable state: the host must not store it as if it did.
    return ok ? kResultOk : kResultFalse;
}

tresult PLUGIN_API CvAudioEffect::setState(IBStream* stream)
{
    const std::lock_guard<std::mutex> lock(mainThreadLock);
    return readState(stream);
}

tresult CvAudioEffect::readState(IBStream* stream)
{
    if (!stream)
        return kInvalidArgument;
    const auto& records = parameterSet.getRecords();
    std::vector<double>& values = mainValues;
    std::vector<bool>& present = mainPresent;
    std::fill(present.begin(), present.end(), false);
    bool any = false;
    const state::ReadResult read = state::read(stream, static_cast<std::int32_t>(records.size()),
                                               [&](std::int32_t i, double v) {
                                                   // Through normalized and back: lands inside the
                                                   // record's range and on its steps.
                                                   const CvParamSpec& spec = records[std::size_t(i)];
                                                   const double normalized = CvParameterSet::toNormalized(spec, v);
                                                   const std::int32_t index = parameterSet.indexOf(spec.id);
                                                   if (index < 0)
                                                       return;
                                                   values[std::size_t(index)] =
                                                       CvParameterSet::toPlain(records[std::size_t(index)], normalized);
                                                   present[std::size_t(index)] = true;
                                                   any = true;
                                               });
    // What was read goes to the audio thread as one load, also when the stream ended early.
    if (any)
        exchange.load(values, present);
    return read.complete ? kResultOk : kResultFalse;
}

} // namespace corvella
