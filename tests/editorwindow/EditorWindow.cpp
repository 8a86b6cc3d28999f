#include "editorwindow/EditorWindow.h"

#include <stdexcept>

namespace corvella::testing {

using namespace Steinberg;
using namespace std::chrono_literals;

EditorWindow::EditorWindow(TestHost& host)
{
    plugView = owned(host.controller().createView("editor"));
    if (!plugView)
        throw std::runtime_error("the controller made no editor");
    ViewRect size;
    plugView->getSize(&size);
    x11 = std::make_unique<X11Window>(size.getWidth(), size.getHeight());
    frame = std::make_unique<TestPlugFrame>(*x11, loop);
    plugView->setFrame(frame.get());
    attached = plugView->attached(x11->parentHandle(), kPlatformTypeX11EmbedWindowID);
}

EditorWindow::~EditorWindow() { close(); }

void EditorWindow::close()
{
    if (!plugView)
        return;
    plugView->removed();
    loop.runFor(20ms);
    plugView->setFrame(nullptr);
    plugView = nullptr;
}

int EditorWindow::px(double layoutX) { return static_cast<int>(layoutX * 1.494 * 1.25); }
int EditorWindow::py(double layoutY) { return static_cast<int>(layoutY * 1.611 * 1.25); }

bool EditorWindow::waitUntilDrawn()
{
    // A point of plain background, right of the value displays.
    return loop.runUntil([this] { return x11->capture().at(px(330), py(100)) == kBackgroundPixel; }, 5s);
}

Screenshot EditorWindow::settleAndCapture(std::chrono::milliseconds time)
{
    loop.runFor(time);
    return x11->capture();
}

void EditorWindow::drag(int x0, int y0, int x1, int y1, int steps, bool release)
{
    x11->movePointer(x0, y0);
    pump();
    x11->press(1);
    pump();
    for (int i = 1; i <= steps; ++i)
    {
        x11->movePointer(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps);
        pump();
    }
    if (release)
    {
        x11->release(1);
        pump();
    }
}

} // namespace corvella::testing
