#pragma once

#include "editor/CvImageResource.h"

namespace corvella::vastora {

// The product's embedded images (built from editor/images/*.png), ended by a null-named entry.
extern const CvImageResource kVastoraImages[];

} // namespace corvella::vastora
