#pragma once

#include "controller/CvFactoryPreset.h"
#include "controller/CvHostReports.h"
#include "params/CvParameterSet.h"
#include "processor/CvStateFormat.h"

#include "public.sdk/source/vst/vsteditcontroller.h"

#include <mutex>
#include <vector>

namespace corvella {

// ID of the factory program list and of its program-change parameter.
constexpr Steinberg::Vst::ParamID kProgramListId = 0x7FFF0000;

// The framework's edit controller: one host parameter per table record, value texts from its own
// parameter set, a "Factory" program list whose program-change parameter applies a preset through
// the host, the controller state in the processor's format, and the editor for "editor".
// A product supplies the table (constructor), its presets (getFactoryPresets) and its editor
// (createEditorView).
class CvEditController : public Steinberg::Vst::EditControllerEx1
{
public:
    CvEditController(const CvParamSpec* table, std::int32_t count);
    ~CvEditController() override;

    Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;
    Steinberg::tresult PLUGIN_API setComponentState(Steinberg::IBStream* state) override;
    Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* state) override;
    Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* state) override;
    Steinberg::tresult PLUGIN_API getParamStringByValue(Steinberg::Vst::ParamID id,
                                                        Steinberg::Vst::ParamValue valueNormalized,
                                                        Steinberg::Vst::String128 string) override;
    Steinberg::tresult PLUGIN_API getParamValueByString(Steinberg::Vst::ParamID id, Steinberg::Vst::TChar* string,
                                                        Steinberg::Vst::ParamValue& valueNormalized) override;
    Steinberg::Vst::ParamValue PLUGIN_API normalizedParamToPlain(Steinberg::Vst::ParamID id,
                                                                 Steinberg::Vst::ParamValue valueNormalized) override;
    Steinberg::tresult PLUGIN_API setParamNormalized(Steinberg::Vst::ParamID id,
                                                     Steinberg::Vst::ParamValue value) override;
    Steinberg::tresult PLUGIN_API setComponentHandler(Steinberg::Vst::IComponentHandler* handler) override;
    Steinberg::tresult PLUGIN_API terminate() override;
    // The editor's edits: see CvHostReports::perform.
    Steinberg::tresult performEdit(Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue value) override;
    Steinberg::IPlugView* PLUGIN_API createView(Steinberg::FIDString name) override;
    // The SDK writes through the name and reads the attribute ID without looking at them: null
    // is refused here with kInvalidArgument.
    Steinberg::tresult PLUGIN_API getProgramName(Steinberg::Vst::ProgramListID listId, Steinberg::int32 programIndex,
                                                 Steinberg::Vst::String128 name) override;
    Steinberg::tresult PLUGIN_API getProgramInfo(Steinberg::Vst::ProgramListID listId, Steinberg::int32 programIndex,
                                                 Steinberg::Vst::CString attributeId,
                                                 Steinberg::Vst::String128 attributeValue) override;

    // The product's editor; null by default.
    virtual Steinberg::IPlugView* createEditorView(Steinberg::FIDString name);
    // The product's factory presets, or null when it has none.
    virtual const std::vector<CvFactoryPreset>* getFactoryPresets();

    // Applies preset `index` value by value through the host, without changing the current program.
    void applyFactoryPreset(std::int32_t index);
    const CvParameterSet& getParameterSet() const { return parameterSet; }
    std::int32_t getCurrentProgram();

protected:
    void setupFactoryPrograms();

private:
    Steinberg::tresult changeProgram(Steinberg::Vst::ParamValue value);
    std::int32_t programForValue(double value);
    double valueForProgram(std::int32_t program);
    // Reads a stream in the state format; only the controller's own state sets the program.
    Steinberg::tresult readState(Steinberg::IBStream* stream, bool withProgram);
    // Under stateLock: sets what a stream held and marks what the host must be told of it.
    void applyLoadLocked(const std::vector<double>& streamed, const std::vector<bool>& present,
                         const state::ReadResult& read, bool withProgram);
    // Under stateLock: sets a preset's values and marks them due.
    void applyFactoryPresetLocked(std::int32_t index);
    void setCurrentProgramFromState(std::int32_t program);
    static std::vector<Steinberg::Vst::ParamID> reportedIds(const CvParameterSet& set);

    CvParameterSet parameterSet;
    // What the host has heard of the table's parameters and the program change (its own lock).
    CvHostReports reports;
    // The fields below are stateLock's.
    bool applyingState = false;  // true while a state is being loaded: no preset is applied then
    bool applyingPreset = false; // true while a preset's values are set
    std::int32_t currentProgram = -1;
    bool hasProgramList = false;
    // State loads, saves and program changes may come from several host threads at once: they
    // take turns here, so that a save never holds half a load or half a preset. No call into the
    // host, its streams included, is made while it is held.
    std::recursive_mutex stateLock;
};

// Fills a String128 from 8-bit text: zero-filled, at most 127 characters, empty for null text.
void copyToString128(const char* text, Steinberg::Vst::String128 target);

} // namespace corvella
