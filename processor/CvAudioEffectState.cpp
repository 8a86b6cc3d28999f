// The processor's side of the state stream.
#include "processor/CvAudioEffect.h"
#include "processor/CvStateFormat.h"

#include "base/source/fstreamer.h"

#include <cmath>

namespace corvella {

using namespace Steinberg;

tresult PLUGIN_API CvAudioEffect::getState(IBStream* state)
{
    if (!state)
        return kInvalidArgument;
    IBStreamer s(state, kLittleEndian);
    const auto& records = parameterSet.getRecords();
    bool ok = s.writeInt32(state::kStateVersion);
    ok = ok && s.writeInt32(static_cast<int32>(records.size()));
    for (std::size_t i = 0; ok && i < records.size(); ++i)
        ok = s.writeDouble(loadPlain(static_cast<std::int32_t>(i)));
    // The processor knows no programs; the controller keeps the current one in its own state.
    ok = ok && s.writeInt32(0);
    // A stream that refused bytes holds no usable state: the host must not store it as if it did.
    return ok ? kResultOk : kResultFalse;
}

tresult PLUGIN_API CvAudioEffect::setState(IBStream* state)
{
    if (!state)
        return kInvalidArgument;
    IBStreamer s(state, kLittleEndian);
    int32 version = 0;
    int32 count = 0;
    if (!s.readInt32(version) || !s.readInt32(count))
        return kResultFalse;

    const auto& records = parameterSet.getRecords();
    tresult result = kResultOk;
    for (int32 i = 0; i < count; ++i)
    {
        double v = 0.0;
        if (!s.readDouble(v))
        {
            result = kResultFalse; // the values read so far stay applied
            break;
        }
        // Values beyond the records are dropped; a non-finite value has no place in any range and
        // leaves the parameter as it was.
        if (static_cast<std::size_t>(i) >= records.size() || !std::isfinite(v))
            continue;
        // Through normalized and back: lands inside the record's range and on its steps.
        const double normalized = CvParameterSet::toNormalized(records[std::size_t(i)], v);
        const std::int32_t index = parameterSet.indexOf(records[std::size_t(i)].id);
        if (index >= 0)
            storePlain(index, CvParameterSet::toPlain(records[std::size_t(index)], normalized));
    }
    if (result == kResultOk && version >= state::kFirstVersionWithProgram)
    {
        int32 program = 0;
        (void)s.readInt32(program); // the processor has no programs; a missing index is fine
    }
    stateSerial.fetch_add(1, std::memory_order_release);
    return result;
}

} // namespace corvella
