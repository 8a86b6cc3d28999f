#include "controller/VastoraController.h"

#include "controller/VastoraPresets.h"
#include "params/VastoraParams.h"

namespace corvella::vastora {

VastoraController::VastoraController() : CvEditController(parameterSpecs(), kParamCount) {}

VastoraController::~VastoraController() = default;

Steinberg::IPlugView* VastoraController::createEditorView(Steinberg::FIDString /*name*/) { return nullptr; }

const std::vector<CvFactoryPreset>* VastoraController::getFactoryPresets() { return &gFactoryPresets; }

} // namespace corvella::vastora
