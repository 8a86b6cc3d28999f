#pragma once

#include "pluginterfaces/base/funknown.h"
#include "vstgui/lib/platform/platform_x11.h"

namespace corvella {

// VSTGUI on Linux needs the host's run loop to watch its X connection and to run its timers. The
// host offers it as Steinberg::Linux::IRunLoop, through its IPlugFrame or its host context; this
// adapts it to VSTGUI's own run-loop interface. Null when the object offers no run loop.
VSTGUI::SharedPointer<VSTGUI::X11::IRunLoop> makeX11RunLoop(Steinberg::FUnknown* hostObject);

// VSTGUI closes its X connection and lets go of the run loop when the platform window of its last
// frame goes, yet the frame's own timers (idle, animations) stop only later, as the frame is
// released. An editor holds the run loop from a successful open until its frame is fully gone.
void retainX11RunLoop(const VSTGUI::SharedPointer<VSTGUI::X11::IRunLoop>& runLoop);
void releaseX11RunLoop();

} // namespace corvella
