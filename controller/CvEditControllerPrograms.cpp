// The factory program list of CvEditController and preset selection.
#include "controller/CvEditController.h"

#include <cmath>
#include <new>

namespace corvella {

using namespace Steinberg;
using namespace Steinberg::Vst;

void CvEditController::setupFactoryPrograms()
{
    const std::vector<CvFactoryPreset>* presets = getFactoryPresets();
    if (!presets || presets->empty())
        return;

    String128 title;
    copyToString128("Factory", title);
    auto* list = new ProgramList(title, kProgramListId, kRootUnitId);
    for (const CvFactoryPreset& preset : *presets)
    {
        String128 name;
        copyToString128(preset.name.c_str(), name);
        list->addProgram(name);
    }
    addProgramList(list);

    String128 unitName;
    copyToString128("Root", unitName);
    addUnit(new Unit(unitName, kRootUnitId, kNoParentUnitId, kProgramListId));

    if (Parameter* programChange = list->getParameter())
        parameters.addParameter(programChange);
    hasProgramList = true;
}

tresult PLUGIN_API CvEditController::getProgramName(ProgramListID listId, int32 programIndex, String128 name)
{
    if (!name)
        return kInvalidArgument;
    return EditControllerEx1::getProgramName(listId, programIndex, name);
}

tresult PLUGIN_API CvEditController::getProgramInfo(ProgramListID listId, int32 programIndex, Vst::CString attributeId,
                                                    String128 attributeValue)
{
    if (!attributeId || !attributeValue)
        return kInvalidArgument;
    // The SDK looks the ID up as a std::string, which a long ID has to allocate.
    try
    {
        return EditControllerEx1::getProgramInfo(listId, programIndex, attributeId, attributeValue);
    }
    catch (const std::bad_alloc&)
    {
        return kOutOfMemory;
    }
}

std::int32_t CvEditController::programForValue(double value)
{
    const std::vector<CvFactoryPreset>* presets = getFactoryPresets();
    if (!presets || presets->empty())
        return -1;
    const auto n = static_cast<std::int32_t>(presets->size());
    if (n == 1)
        return 0;
    const double p = std::round((n - 1) * value);
    return (p >= 0.0 && p < n) ? static_cast<std::int32_t>(p) : -1;
}

double CvEditController::valueForProgram(std::int32_t program)
{
    const std::vector<CvFactoryPreset>* presets = getFactoryPresets();
    const auto n = presets ? static_cast<std::int32_t>(presets->size()) : 0;
    return n > 1 ? static_cast<double>(program) / (n - 1) : 0.0;
}

tresult PLUGIN_API CvEditController::setParamNormalized(ParamID id, ParamValue value)
{
    // The SDK would store NaN as it comes; the parameter keeps its value instead, as the
    // processor's does.
    if (!std::isfinite(value))
        return kResultFalse;
    if (!hasProgramList || id != kProgramListId)
        return EditController::setParamNormalized(id, value);

    tresult result = kResultFalse;
    {
        // A program change waits for a load on another thread, rather than being taken for
        // part of it.
        const std::lock_guard<std::recursive_mutex> lock(stateLock);
        result = EditController::setParamNormalized(id, value);
        if (applyingState)
            return result;
        const std::int32_t program = programForValue(value);
        if (program == currentProgram)
            return result;
        applyFactoryPresetLocked(program);
        currentProgram = program;
    }
    sendReports();
    return result;
}

void CvEditController::applyFactoryPreset(std::int32_t index)
{
    {
        const std::lock_guard<std::recursive_mutex> lock(stateLock);
        applyFactoryPresetLocked(index);
    }
    sendReports();
}

void CvEditController::applyFactoryPresetLocked(std::int32_t index)
{
    const std::vector<CvFactoryPreset>* presets = getFactoryPresets();
    if (!presets || index < 0 || static_cast<std::size_t>(index) >= presets->size())
        return;
    // All values are set before the host hears of any, so that a save on another thread holds
    // the whole preset or none of it. Each then reaches the host as an ordinary edit, so the
    // processor receives it as a parameter change and the host can record it.
    HostReport report;
    report.gestures = true;
    for (const auto& [id, plain] : (*presets)[static_cast<std::size_t>(index)].values)
    {
        const CvParamSpec* spec = parameterSet.findSpec(id);
        if (!spec)
            continue;
        const double normalized = CvParameterSet::toNormalized(*spec, plain);
        setParamNormalized(id, normalized);
        report.edits.emplace_back(id, normalized);
    }
    if (componentHandler && !report.edits.empty())
        presetEditsReported = true;
    queueReport(std::move(report));
}

std::int32_t CvEditController::getCurrentProgram()
{
    const std::lock_guard<std::recursive_mutex> lock(stateLock);
    return currentProgram;
}

} // namespace corvella
