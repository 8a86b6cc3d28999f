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
    const std::lock_guard<std::recursive_mutex> lock(stateLock);
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
    bool report = false;
    tresult result;
    {
        const std::lock_guard<std::recursive_mutex> lock(stateLock);
        result = readStateLocked(stream, withProgram);
        // A host that queued a chosen preset's edits for the processor delivers them at its next
        // block, on top of the state the processor has just loaded too (some hosts choose the
        // first program of every new instance just before they restore its project). Edits of the
        // loaded values, reported now, reach the processor after those and restore the state.
        // Without a preset before it, a load reports nothing: hosts may take edits for changes
        // to the project.
        report = result == kResultOk && presetEditsReported.exchange(false);
    }
    if (report)
        reportValuesToHost();
    return result;
}

void CvEditController::reportValuesToHost()
{
    if (!componentHandler)
        return;
    for (const CvParamSpec& spec : parameterSet.getRecords())
    {
        const ParamValue value = getParamNormalized(spec.id);
        componentHandler->beginEdit(spec.id);
        componentHandler->performEdit(spec.id, value);
        componentHandler->endEdit(spec.id);
    }
}

tresult CvEditController::readStateLocked(IBStream* stream, bool withProgram)
{
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
