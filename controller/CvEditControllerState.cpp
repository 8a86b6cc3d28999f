// The controller's state: the processor's format, with the current program at the end.
#include "controller/CvEditController.h"
#include "processor/CvStateFormat.h"

#include "base/source/fstreamer.h"

#include <cmath>

namespace corvella {

using namespace Steinberg;
using namespace Steinberg::Vst;

tresult PLUGIN_API CvEditController::getState(IBStream* state)
{
    if (!state)
        return kInvalidArgument;
    IBStreamer s(state, kLittleEndian);
    const auto& records = parameterSet.getRecords();
    bool ok = s.writeInt32(state::kStateVersion);
    ok = ok && s.writeInt32(static_cast<int32>(records.size()));
    for (std::size_t i = 0; ok && i < records.size(); ++i)
        ok = s.writeDouble(CvParameterSet::toPlain(records[i], getParamNormalized(records[i].id)));
    ok = ok && s.writeInt32(currentProgram);
    return ok ? kResultOk : kResultFalse;
}

tresult PLUGIN_API CvEditController::setComponentState(IBStream* state)
{
    if (!state)
        return kInvalidArgument;
    // While loading, a change of the program-change parameter must not apply a preset.
    struct ApplyingState
    {
        bool& flag;
        explicit ApplyingState(bool& f) : flag(f) { flag = true; }
        ~ApplyingState() { flag = false; }
    } applying(applyingState);

    IBStreamer s(state, kLittleEndian);
    int32 version = 0;
    int32 count = 0;
    if (!s.readInt32(version) || !s.readInt32(count))
        return kResultFalse;

    const auto& records = parameterSet.getRecords();
    for (int32 i = 0; i < count; ++i)
    {
        double v = 0.0;
        if (!s.readDouble(v))
            return kResultFalse; // the values set so far stay set
        if (static_cast<std::size_t>(i) < records.size() && std::isfinite(v))
            setParamNormalized(records[std::size_t(i)].id, CvParameterSet::toNormalized(records[std::size_t(i)], v));
    }

    int32 program = 0;
    if (version >= state::kFirstVersionWithProgram && s.readInt32(program))
    {
        currentProgram = program;
        const std::vector<CvFactoryPreset>* presets = getFactoryPresets();
        if (hasProgramList && presets && !presets->empty())
        {
            const auto n = static_cast<int32>(presets->size());
            if (program < 0 || program >= n)
                program = -1;
            // The SDK's own setter: the program-change parameter moves, no preset is applied.
            EditController::setParamNormalized(kProgramListId, program < 0 ? 0.0 : valueForProgram(program));
            currentProgram = program;
        }
    }
    return kResultOk;
}

tresult PLUGIN_API CvEditController::setState(IBStream* state) { return setComponentState(state); }

} // namespace corvella
