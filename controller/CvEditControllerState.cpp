// The controller's state: the processor's format, with the current program at the end.
#include "controller/CvEditController.h"
#include "processor/CvStateFormat.h"

#include <cmath>
#include <new>

namespace corvella {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

// Loaded values closer than this to the ones they replace count as unchanged: the processor's
// and the controller's streams may differ in the last bits of a value that went through its
// normalized form.
constexpr double kSameValue = 1e-12;

} // namespace

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

std::vector<double> CvEditController::currentValues()
{
    std::vector<double> values;
    for (const CvParamSpec& spec : parameterSet.getRecords())
        values.push_back(getParamNormalized(spec.id));
    return values;
}

tresult CvEditController::readState(IBStream* stream, bool withProgram)
{
    if (!stream)
        return kInvalidArgument;
    const auto& records = parameterSet.getRecords();
    bool complete = false;
    try
    {
        // The stream is read whole before anything is applied: no lock is held while the host's
        // stream works.
        std::vector<double> streamed(records.size());
        std::vector<bool> present(records.size());
        const state::ReadResult read = state::read(stream, static_cast<int32>(records.size()), [&](int32 i, double v) {
            streamed[std::size_t(i)] = CvParameterSet::toNormalized(records[std::size_t(i)], v);
            present[std::size_t(i)] = true;
        });
        complete = read.complete;
        const std::lock_guard<std::recursive_mutex> lock(stateLock);
        applyLoadLocked(streamed, present, read, withProgram);
    }
    catch (const std::bad_alloc&)
    {
        return kOutOfMemory;
    }
    sendReports();
    return complete ? kResultOk : kResultFalse; // the values set from a short stream stay set
}

void CvEditController::applyLoadLocked(const std::vector<double>& streamed, const std::vector<bool>& present,
                                       const state::ReadResult& read, bool withProgram)
{
    const auto& records = parameterSet.getRecords();
    const std::vector<double> before = currentValues();
    {
        // While loading, a change of the program-change parameter must not apply a preset.
        struct ApplyingState
        {
            bool& flag;
            explicit ApplyingState(bool& f) : flag(f) { flag = true; }
            ~ApplyingState() { flag = false; }
        } applying(applyingState);
        for (std::size_t i = 0; i < records.size(); ++i)
            if (present[i])
                setParamNormalized(records[i].id, streamed[i]);
        if (!read.complete)
            return;
        // A stream without a program index (version 1) leaves the current program as it is.
        if (read.program)
            setCurrentProgramFromState(withProgram ? *read.program : -1);
    }

    // What the host is told, with performEdit alone: a gesture would read as a user's touch and
    // write automation, and hosts take the edits as the values to send the processor.
    // - The loaded values, when edits sent since the last load (a preset's, or those of a report
    //   still going out) may reach the processor after the load and undo it, or when the
    //   controller's own state differs from the processor's state loaded before it (a project
    //   saved between a program change and the block that took its edits).
    // - The loaded program, so that a host's stale entry for it (the first program, chosen for
    //   every new instance and sent at the next block) cannot choose a program again. No program
    //   has no value of its own: the parameter's 0 would choose the first.
    // A plain load of a processor state reports nothing: hosts take edits for changes to the
    // project.
    const std::vector<double> after = currentValues();
    bool changed = false;
    for (std::size_t i = 0; i < after.size(); ++i)
        changed |= std::fabs(after[i] - before[i]) > kSameValue;
    HostReport report;
    if (presetEditsReported || reporting || !reports.empty() || (withProgram && changed))
        for (std::size_t i = 0; i < records.size(); ++i)
            report.edits.emplace_back(records[i].id, after[i]);
    if (withProgram && read.program && hasProgramList && currentProgram >= 0)
        report.edits.emplace_back(kProgramListId, valueForProgram(currentProgram));
    presetEditsReported = false;
    queueReport(std::move(report));
}

void CvEditController::queueReport(HostReport report)
{
    if (!componentHandler || report.edits.empty())
        return;
    // A load's report not yet begun is out of date once another is queued behind it.
    if (!report.gestures && !reports.empty() && !reports.back().gestures)
        reports.back() = std::move(report);
    else
        reports.push_back(std::move(report));
}

void CvEditController::sendReports()
{
    {
        const std::lock_guard<std::recursive_mutex> lock(stateLock);
        if (reporting)
            return;
        reporting = true;
    }
    for (;;)
    {
        HostReport report;
        IPtr<IComponentHandler> handler;
        {
            const std::lock_guard<std::recursive_mutex> lock(stateLock);
            if (reports.empty() || !componentHandler)
            {
                reports.clear();
                reporting = false;
                return;
            }
            report = std::move(reports.front());
            reports.pop_front();
            handler = componentHandler;
        }
        for (const auto& [id, value] : report.edits)
        {
            if (report.gestures)
                handler->beginEdit(id);
            handler->performEdit(id, value);
            if (report.gestures)
                handler->endEdit(id);
        }
    }
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
