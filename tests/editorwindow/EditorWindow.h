#pragma once

#include "host/TestHost.h"
#include "x11/X11Host.h"

#include <chrono>
#include <memory>

namespace corvella::testing {

// The product's editor, opened by the loaded module on a real X11 window as a Linux host opens
// it: getSize, a window of that size, an IPlugFrame that lends the host's run loop, attached.
class EditorWindow
{
public:
    explicit EditorWindow(TestHost& host);
    ~EditorWindow();

    Steinberg::IPlugView& view() { return *plugView; }
    X11Window& window() { return *x11; }
    LinuxRunLoop& runLoop() { return loop; }
    TestPlugFrame& plugFrame() { return *frame; }
    Steinberg::tresult attachResult() const { return attached; }

    // Layout units (the editor's own coordinates) to window pixels.
    static int px(double layoutX);
    static int py(double layoutY);

    // Runs the host's loop until the editor has put its background on screen.
    bool waitUntilDrawn();
    // Lets the editor run for a while, then shows what is on screen.
    Screenshot settleAndCapture(std::chrono::milliseconds time = std::chrono::milliseconds(150));
    void pump(std::chrono::milliseconds time = std::chrono::milliseconds(30)) { loop.runFor(time); }

    // A left-button gesture from one point to another, in window pixels, in a few steps.
    void drag(int x0, int y0, int x1, int y1, int steps = 4, bool release = true);

    // What a host does when the window goes away: removed, then the frame taken back.
    void close();

private:
    LinuxRunLoop loop;
    std::unique_ptr<X11Window> x11;
    std::unique_ptr<TestPlugFrame> frame;
    Steinberg::IPtr<Steinberg::IPlugView> plugView;
    Steinberg::tresult attached = Steinberg::kResultFalse;
};

// The editor's background colour, as a screenshot pixel.
constexpr std::uint32_t kBackgroundPixel = rgbOf(16, 23, 46);

} // namespace corvella::testing
