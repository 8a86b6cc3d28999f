#include "editor/CvPalette.h"

namespace corvella {

using VSTGUI::CColor;

CColor backgroundColor() { return CColor(16, 23, 46, 255); }
CColor borderColor() { return CColor(90, 122, 191, 255); }
CColor menuBackColor() { return CColor(29, 39, 69, 255); }
CColor textColor() { return CColor(221, 231, 255, 255); }
CColor accentTextColor() { return CColor(143, 166, 214, 255); }
CColor sliderBackColor() { return CColor(12, 17, 34, 255); }
CColor sliderFrameColor() { return CColor(111, 146, 208, 255); }
CColor sliderValueColor() { return CColor(76, 139, 224, 255); }

} // namespace corvella
