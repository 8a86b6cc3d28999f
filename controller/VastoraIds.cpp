#include "controller/VastoraIds.h"

namespace corvella::vastora {

const Steinberg::FUID kProcessorUID(0x96305DB8, 0x45E9438B, 0xA9E0E951, 0xFBF9E5EB);
const Steinberg::FUID kControllerUID(0x89716A61, 0xF8DD4B45, 0xB0FEDB8F, 0xA6062FFC);

} // namespace corvella::vastora
