#pragma once

#include "pluginterfaces/base/funknown.h"
#include "vstgui/lib/platform/platform_x11.h"

namespace corvella {

// VSTGUI on Linux needs the host's run loop to watch its X connection and to run its timers. The
// host offers it as Steinberg::Linux::IRunLoop, through its IPlugFrame or its host context; this
// adapts it to VSTGUI's own run-loop interface. Null when the object offers no run loop.
VSTGUI::SharedPointer<VSTGUI::X11::IRunLoop> makeX11RunLoop(Steinberg::FUnknown* hostObject);

} // namespace corvella
