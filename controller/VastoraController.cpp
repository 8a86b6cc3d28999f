#include "controller/VastoraController.h"

#include "controller/VastoraPresets.h"
#include "editor/VastoraEditor.h"
#include "params/VastoraParams.h"

#include <new>

namespace corvella::vastora {

VastoraController::VastoraController() : CvEditController(parameterSpecs(), kParamCount) {}

VastoraController::~VastoraController() = default;

Steinberg::IPlugView* VastoraController::createEditorView(Steinberg::FIDString /*name*/)
{
    // The new editor's one reference goes to the caller, who hands it to the host.
    return new (std::nothrow) VastoraEditor(this, this);
}

const std::vector<CvFactoryPreset>* VastoraController::getFactoryPresets() { return &gFactoryPresets; }

} // namespace corvella::vastora
