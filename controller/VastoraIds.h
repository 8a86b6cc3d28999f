#pragma once

#include "pluginterfaces/base/funknown.h"

namespace corvella::vastora {

// Class IDs of the product's two classes. Hosts store them in projects: never change them.
extern const Steinberg::FUID kProcessorUID;
extern const Steinberg::FUID kControllerUID;

} // namespace corvella::vastora
