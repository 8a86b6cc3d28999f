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
    if (id == kProgramListId)
        return changeProgram(value);
    const std::lock_guard<std::recursive_mutex> lock(stateLock);
    // A load or a preset sets values here too; anything else is the host or the editor, which
    // know the value they set.
    const bool fromHost = !applyingState && !applyingPreset;
    if (fromHost && reports.isEcho(id, value))
        return kResultTrue; // the controller's value stands: a newer one may be due after it
    const tresult result = EditController::setParamNormalized(id, value);
    if (result == kResultTrue)
        reports.set(id, getParamNormalized(id), fromHost);
    return result;
}

tresult CvEditController::changeProgram(ParamValue value)
{
    // Declared before the lock, so that the preset's edits go out after it is released.
    const CvHostReports::Call call(reports);
    // A program change waits for a load on another thread, rather than being taken for part of
    // it.
    const std::lock_guard<std::recursive_mutex> lock(stateLock);
    if (!hasProgramList)
        return EditController::setParamNormalized(kProgramListId, value);
    // The host handing back the program it is being told, rounded: no choice, and a load on
    // another thread may have replaced it.
    if (!applyingState && reports.isEcho(kProgramListId, value))
        return kResultTrue;
    const tresult result = EditController::setParamNormalized(kProgramListId, value);
    reports.set(kProgramListId, getParamNormalized(kProgramListId), !applyingState);
    if (applyingState)
        return result;
    const std::int32_t program = programForValue(value);
    if (program == currentProgram)
        return result;
    applyFactoryPresetLocked(program);
    currentProgram = program;
    reports.withhold(kProgramListId, program < 0);
    return result;
}

void CvEditController::applyFactoryPreset(std::int32_t index)
{
    const CvHostReports::Call call(reports);
    const std::lock_guard<std::recursive_mutex> lock(stateLock);
    applyFactoryPresetLocked(index);
}

void CvEditController::applyFactoryPresetLocked(std::int32_t index)
{
    const std::vector<CvFactoryPreset>* presets = getFactoryPresets();
    if (!presets || index < 0 || static_cast<std::size_t>(index) >= presets->size())
        return;
    // All values are set before the host hears of any, so that a save on another thread holds
    // the whole preset or none of it. Each then reaches the host as a value change, in the
    // preset's order, and the processor receives it as a parameter change. No gesture: a host
    // takes one for a user's touch and records automation, and it selects a session's program
    // this way while it restores the session.
    applyingPreset = true;
    for (const auto& [id, plain] : (*presets)[static_cast<std::size_t>(index)].values)
    {
        const CvParamSpec* spec = parameterSet.findSpec(id);
        if (!spec)
            continue;
        setParamNormalized(id, CvParameterSet::toNormalized(*spec, plain));
        reports.markDue(id);
    }
    applyingPreset = false;
}

std::int32_t CvEditController::getCurrentProgram()
{
    const std::lock_guard<std::recursive_mutex> lock(stateLock);
    return currentProgram;
}

} // namespace corvella
