#pragma once

#include "controller/CvEditController.h"

namespace corvella::vastora {

// The product's edit controller: the product's parameter table, its factory presets and its
// editor handed to the framework controller.
class VastoraController : public CvEditController
{
public:
    VastoraController();
    ~VastoraController() override;

    Steinberg::IPlugView* createEditorView(Steinberg::FIDString name) override;
    const std::vector<CvFactoryPreset>* getFactoryPresets() override;
};

} // namespace corvella::vastora
