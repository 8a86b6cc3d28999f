#pragma once

#include "vstgui/lib/ccolor.h"

// The fixed colours in which every editor view is drawn.
namespace corvella {

VSTGUI::CColor backgroundColor();  // fill of the window background
VSTGUI::CColor borderColor();      // background frame, option-menu frames, XY pad border
VSTGUI::CColor menuBackColor();    // option-menu background
VSTGUI::CColor textColor();        // labels, value displays, menus, check box
VSTGUI::CColor accentTextColor();  // the product-name label
VSTGUI::CColor sliderBackColor();  // slider background
VSTGUI::CColor sliderFrameColor(); // slider frame
VSTGUI::CColor sliderValueColor(); // slider value bar, axis labels

} // namespace corvella
