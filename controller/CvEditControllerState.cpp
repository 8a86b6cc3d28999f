// The controller's state: the processor's format, with the current program at the end.
#include "controller/CvEditController.h"
#include "processor/CvStateFormat.h"

#include <cmath>
#include <new>

namespace corvella {

using namespace Steinberg;
using namespace Steinberg::Vst;

tresult PLUGIN_API CvEditController::getState(IBStream* stream)
{
    if (!stream)
        return kInvalidArgument;
    const auto& records = parameterSet.getRecords();
    std::vector<double> values;
    int32 program = -1;
    try
    {
        values.resize(records.size());
    }
    catch (const std::bad_alloc&)
    {
        return kOutOfMemory;
    }
    {
        const std::lock_guard<std::recursive_mutex> lock(stateLock);
        for (std::size_t i = 0; i < records.size(); ++i)
            values[i] = CvParameterSet::toPlain(records[i], getParamNormalized(records[i].id));
        program = currentProgram;
    }
    const bool ok = state::write(
        stream, static_cast<int32>(records.size()), [&values](int32 i) { return values[std::size_t(i)]; }, program);
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
    const auto& records = parameterSet.getRecords();
    std::vector<double> streamed;
    std::vector<bool> present;
    state::ReadResult read;
    try
    {
        // The stream is read whole before anything is applied: no lock is held while the host's
        // stream works.
        streamed.resize(records.size());
        present.resize(records.size());
        read = state::read(stream, static_cast<int32>(records.size()), [&](int32 i, double v) {
            streamed[std::size_t(i)] = CvParameterSet::toNormalized(records[std::size_t(i)], v);
            present[std::size_t(i)] = true;
        });
    }
    catch (const std::bad_alloc&)
    {
        return kOutOfMemory;
    }
    const CvHostReports::Call call(reports);
    {
        const std::lock_guard<std::recursive_mutex> lock(stateLock);
        applyLoadLocked(streamed, present, read, withProgram);
    }
    return read.complete ? kResultOk : kResultFalse; // the values set from a short stream stay set
}

void CvEditController::applyLoadLocked(const std::vector<double>& streamed, const std::vector<bool>& present,
                                       const state::ReadResult& read, bool withProgram)
{
    // What the host is told, with performEdit alone: a gesture would read as a user's touch and
    // write automation, and hosts take the edits as the values to send the processor.
    // - A value the host was last told, or set itself, otherwise: edits it may still hold for the
    //   processor's next block would undo the load there.
    // - A value the controller's own state changes from the one before it: a host re-reads the
    //   values after the processor's state, and one saved between a program change and the block
    //   that took its edits holds newer values than the processor's.
    // - The loaded program, when the controller's own state changes it or the host heard another:
    //   a host's stale entry for the program (the first, chosen for every new instance and sent at
    //   the next block) would choose a program again. No program has no value of its own: the
    //   parameter's 0 would choose the first.
    // A load of the same values reports nothing: hosts take edits for changes to the project.
    const auto& records = parameterSet.getRecords();
    // While loading, a change of the program-change parameter must not apply a preset.
    struct ApplyingState
    {
        bool& flag;
        explicit ApplyingState(bool& f) : flag(f) { flag = true; }
        ~ApplyingState() { flag = false; }
    } applying(applyingState);
    for (std::size_t i = 0; i < records.size(); ++i)
    {
        if (!present[i])
            continue;
        const ParamID id = records[i].id;
        const double before = getParamNormalized(id);
        setParamNormalized(id, streamed[i]);
        const double after = getParamNormalized(id);
        if (reports.heardOther(id, after) || (withProgram && !CvHostReports::same(before, after)))
            reports.markDue(id);
    }
    // A stream without a program index (version 1) leaves the current program as it is.
    if (!read.complete || !read.program)
        return;
    const double before = getParamNormalized(kProgramListId);
    setCurrentProgramFromState(withProgram ? *read.program : -1);
    const double after = getParamNormalized(kProgramListId);
    if (withProgram && hasProgramList && currentProgram >= 0 &&
        (reports.heardOther(kProgramListId, after) || !CvHostReports::same(before, after)))
        reports.markDue(kProgramListId);
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
    reports.set(kProgramListId, getParamNormalized(kProgramListId), false);
    // No program has no value of its own: the parameter's 0 would read as a choice of the first.
    reports.withhold(kProgramListId, program < 0);
    currentProgram = program;
}

} // namespace corvella
