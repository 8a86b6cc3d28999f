#include "controller/CvEditController.h"

#include "params/NumberText.h"

#include "base/source/fstring.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace corvella {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

// ASCII only, whatever locale the host has set: the value names are ASCII.
std::string trimmedLower(const char* text)
{
    std::string s(text);
    const auto notSpace = [](char c) { return c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v'; };
    s.erase(s.begin(), std::find_if(s.begin(), s.end(), notSpace));
    s.erase(std::find_if(s.rbegin(), s.rend(), notSpace).base(), s.end());
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The plain value a typed text stands for, if any: a value name of a stepped record (or a number
// that names one, "30" for "30 ms"), "On"/"Off" for a toggle, else the leading number with or
// without its unit.
std::optional<double> plainFromText(const CvParamSpec& spec, const char* text)
{
    const std::string typed = trimmedLower(text);
    const std::optional<double> number = parseLeadingNumber(text);
    if (spec.scale == CvParamScale::Stepped && spec.valueNames)
    {
        for (std::int32_t k = 0; k < spec.stepCount; ++k)
            if (spec.valueNames[k] && typed == trimmedLower(spec.valueNames[k]))
                return spec.minPlain + k;
        if (number)
            for (std::int32_t k = 0; k < spec.stepCount; ++k)
                if (spec.valueNames[k] && parseLeadingNumber(spec.valueNames[k]) == number)
                    return spec.minPlain + k;
    }
    if (spec.scale == CvParamScale::Toggle && (typed == "on" || typed == "off"))
        return typed == "on" ? spec.maxPlain : spec.minPlain;
    return number;
}

} // namespace

void copyToString128(const char* text, String128 target)
{
    if (!target)
        return;
    std::fill(target, target + 128, TChar(0));
    if (!text || !*text)
        return;
    String wide(text);
    if (wide.toWideString())
        wide.copyTo16(target, 0, 127);
    target[127] = 0;
}

CvEditController::CvEditController(const CvParamSpec* table, std::int32_t count)
    : parameterSet(table, count), reports(reportedIds(parameterSet))
{
}

std::vector<ParamID> CvEditController::reportedIds(const CvParameterSet& set)
{
    std::vector<ParamID> ids;
    for (const CvParamSpec& spec : set.getRecords())
        ids.push_back(spec.id);
    ids.push_back(kProgramListId);
    return ids;
}

tresult PLUGIN_API CvEditController::setComponentHandler(IComponentHandler* handler)
{
    const tresult result = EditController::setComponentHandler(handler);
    reports.setHandler(handler);
    return result;
}

tresult PLUGIN_API CvEditController::terminate()
{
    reports.setHandler(nullptr);
    return EditControllerEx1::terminate();
}

tresult CvEditController::performEdit(ParamID id, ParamValue value) { return reports.perform(id, value); }

CvEditController::~CvEditController() = default;

tresult PLUGIN_API CvEditController::initialize(FUnknown* context)
{
    const tresult result = EditController::initialize(context);
    if (result != kResultOk)
        return result;
    for (const CvParamSpec& spec : parameterSet.getRecords())
        parameters.addParameter(CvParameterSet::createParameter(spec));
    setupFactoryPrograms();
    applyingState = false;
    currentProgram = -1;
    return kResultOk;
}

tresult PLUGIN_API CvEditController::getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string)
{
    if (!string)
        return kInvalidArgument;
    // No value has a text outside [0, 1]. The SDK's own parameters (the program change) index
    // their name lists with what they are given and would throw out of the module.
    if (!std::isfinite(valueNormalized))
        return kResultFalse;
    valueNormalized = std::clamp(valueNormalized, 0.0, 1.0);
    const std::string text = parameterSet.formatValue(id, valueNormalized);
    if (text.empty())
        return EditController::getParamStringByValue(id, valueNormalized, string);
    copyToString128(text.c_str(), string);
    return kResultOk;
}

tresult PLUGIN_API CvEditController::getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized)
{
    if (!string)
        return kInvalidArgument;
    const CvParamSpec* spec = parameterSet.findSpec(id);
    if (!spec)
        return EditController::getParamValueByString(id, string, valueNormalized);

    String text(string);
    if (text.isEmpty() || !text.toMultiByte() || !text.text8())
        return kResultFalse;
    char buffer[128] = {};
    std::strncpy(buffer, text.text8(), sizeof buffer - 1);

    // Text that names no value is refused rather than read as 0: a typo must not jump the
    // parameter to its minimum.
    const std::optional<double> plain = plainFromText(*spec, buffer);
    if (!plain)
        return kResultFalse;
    valueNormalized = CvParameterSet::toNormalized(*spec, *plain);
    return kResultOk;
}

ParamValue PLUGIN_API CvEditController::normalizedParamToPlain(ParamID id, ParamValue valueNormalized)
{
    // The SDK's stepped parameters turn the value into a step number by an integer conversion,
    // which a value far outside [0, 1] overflows. NaN has no plain value and is handed back.
    if (std::isnan(valueNormalized))
        return valueNormalized;
    return EditController::normalizedParamToPlain(id, std::clamp(valueNormalized, 0.0, 1.0));
}

IPlugView* PLUGIN_API CvEditController::createView(FIDString name)
{
    if (!name || std::strcmp(name, "editor") != 0)
        return nullptr;
    return createEditorView(name);
}

IPlugView* CvEditController::createEditorView(FIDString /*name*/) { return nullptr; }

const std::vector<CvFactoryPreset>* CvEditController::getFactoryPresets() { return nullptr; }

} // namespace corvella
