// The controller's state: the processor's format, with the current program at the end.
#include "controller/CvEditController.h"
#include "processor/CvStateFormat.h"


namespace corvella {

using namespace Steinberg;
using namespace Steinberg::Vst;

tresult PLUGIN_API CvEditController::getState(IBStream* stream)
{
    if (!stream)
        return kInvalidArgument;
    const auto& records = parameterSet.getRecords();
    const bool ok = state::write(
        stream, static_cast<int32>(records.size()),
        [this, &records](int32 i) {
            const CvParamSpec& spec = records[std::size_t(i)];
            return CvParameterSet::toPlain(spec, getParamNormalized(spec.id));
        },
        currentProgram);
    return ok ? kResultOk : kResultFalse;
}

tresult PLUGIN_API CvEditController::setComponentState(IBStream* stream)
{
    // The processor never knows the program: the index in its stream is always 0 and says
    // nothing. Its values may come from anywhere, so a stream with an index leaves no program
    // current, and choosing any program, the first included, applies it.
    return readState(stream, false);
}

tresult PLUGIN_API CvEditController::setState(IBStream* stream) { return readState(stream, true); }

tresult CvEditController::readState(IBStream* stream, bool withProgram)
{
    if (!stream)
        return kInvalidArgument;
    // While loading, a change of the program-change parameter must not apply a preset.
    struct ApplyingState
    {
        bool& flag;
        explicit ApplyingState(bool& f) : flag(f) { flag = true; }
        ~ApplyingState() { flag = false; }
    } applying(applyingState);

    const auto& records = parameterSet.getRecords();
    const state::ReadResult read =
        state::read(stream, static_cast<int32>(records.size()), [this, &records](int32 i, double v) {
            const CvParamSpec& spec = records[std::size_t(i)];
            setParamNormalized(spec.id, CvParameterSet::toNormalized(spec, v));
        });
    if (!read.complete)
        return kResultFalse; // the values set so far stay set
    // A stream without a program index (version 1) leaves the current program as it is.
    if (read.program)
        setCurrentProgramFromState(withProgram ? *read.program : -1);
    return kResultOk;
}

void CvEditController::setCurrentProgramFromState(int32 program)
{
    currentProgram = program;
    const std::vector<CvFactoryPreset>* presets = getFactoryPresets();
    if (!hasProgramList || !presets || presets->empty())
        return;
    const auto n = static_cast<int32>(presets->size());
    if (program < 0 || program >= n)
        program = -1;
    // The SDK's own setter: the program-change parameter moves, no preset is applied.
    EditController::setParamNormalized(kProgramListId, program < 0 ? 0.0 : valueForProgram(program));
    currentProgram = program;
}

} // namespace corvella
