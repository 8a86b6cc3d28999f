#pragma once

#include "x11/LinuxRunLoop.h"

#include "pluginterfaces/gui/iplugview.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// Xlib's headers define macros (None, Bool, Status, Success, ...) that clash with the SDK's and
// VSTGUI's names, so this header only names the display type; tests that draw with Xlib include
// <X11/Xlib.h> themselves.
struct _XDisplay;

namespace corvella::testing {

// What the window showed, as 0xRRGGBB per pixel, row by row from the top left.
struct Screenshot
{
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rgb;

    std::uint32_t at(int x, int y) const { return rgb[static_cast<std::size_t>(y) * width + x]; }
    // An 8-bit RGB PNG, for looking at what a failing test saw.
    bool savePng(const std::string& path) const;
};

constexpr std::uint32_t rgbOf(int r, int g, int b)
{
    return (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) | static_cast<std::uint32_t>(b);
}
constexpr int redOf(std::uint32_t c) { return static_cast<int>((c >> 16) & 0xff); }
constexpr int greenOf(std::uint32_t c) { return static_cast<int>((c >> 8) & 0xff); }
constexpr int blueOf(std::uint32_t c) { return static_cast<int>(c & 0xff); }
// The largest difference of one channel, for comparing antialiased or blended colours.
int channelDistance(std::uint32_t a, std::uint32_t b);

// A top-level window on $DISPLAY, on a connection of its own, standing in for the host window a
// DAW gives a plug-in view. It follows the embedder's side of XEmbed for the child window the
// view creates in it (as the SDK's editor host does) when its events are processed; a
// TestPlugFrame has the run loop process them.
//
// Throws std::runtime_error when there is no X server (run the test under with-xvfb.sh) or it
// lacks the XTest extension.
class X11Window
{
public:
    X11Window(int width, int height, const std::string& title = "Vastora test host");
    ~X11Window();
    X11Window(const X11Window&) = delete;
    X11Window& operator=(const X11Window&) = delete;

    _XDisplay* display() const { return dpy; }
    int connectionFd() const;
    // The X window ID; a host passes it to IPlugView::attached as (void*)id() with
    // kPlatformTypeX11EmbedWindowID.
    unsigned long id() const { return window; }
    void* parentHandle() const { return reinterpret_cast<void*>(window); }

    int width() const { return w; }
    int height() const { return h; }
    void resize(int width, int height);

    // Handles the events that reached this connection: the embedding of child windows.
    void processEvents();
    // The child window most recently created in this window, 0 when there is none or it has been
    // destroyed. Known once processEvents() has seen its creation.
    unsigned long embeddedWindow() const { return embedded; }
    // The window's children as the X server has them now.
    std::vector<unsigned long> childWindows() const;
    // Whether the server has the window mapped (it may still be hidden by an unmapped parent).
    bool isMapped(unsigned long windowId) const;

    // The window's contents with its child windows (what is on screen inside it), after
    // everything this connection sent has been processed. Another client's drawing is included
    // once that client has flushed it and the server has processed it: a test waits for what it
    // expects with LinuxRunLoop::runUntil rather than capturing once.
    Screenshot capture() const;

    // Synthetic pointer input through XTest, in window coordinates. Each call returns once the
    // server has processed the event; the plug-in sees it when the run loop is next pumped.
    void movePointer(int x, int y);
    void press(int button);
    void release(int button);
    void click(int x, int y, int button = 1);
    void pressShift();
    void releaseShift();
    void pressControl();
    void releaseControl();

    // Round trip to the server: everything sent before has been processed.
    void sync() const;

private:
    void embed(unsigned long child);
    void sendXEmbed(unsigned long child, long message, long detail, long data1, long data2);

    _XDisplay* dpy = nullptr;
    unsigned long window = 0;
    unsigned long embedded = 0;
    unsigned long xembedAtom = 0;
    unsigned long xembedInfoAtom = 0;
    int w;
    int h;
};

// The host's IPlugFrame for a view attached to an X11Window. It hands the plug-in the run loop
// through queryInterface (with a reference), which is how VSTGUI's VST3 editor finds it, and
// lets the run loop process the window's own events (XEmbed) while it runs.
//
// Like the run loop it lives where its owner puts it and counts but never deletes on release.
class TestPlugFrame : public Steinberg::IPlugFrame
{
public:
    TestPlugFrame(X11Window& window, LinuxRunLoop& runLoop);
    ~TestPlugFrame();
    TestPlugFrame(const TestPlugFrame&) = delete;
    TestPlugFrame& operator=(const TestPlugFrame&) = delete;

    // Records the request, resizes the window and calls view->onSize(newSize), as a host that
    // grants every size does.
    Steinberg::tresult PLUGIN_API resizeView(Steinberg::IPlugView* view, Steinberg::ViewRect* newSize) override;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override;
    Steinberg::uint32 PLUGIN_API release() override;

    int resizeRequests() const { return requests; }
    // The size the view last asked for; meaningful once resizeRequests() > 0.
    const Steinberg::ViewRect& lastRequestedSize() const { return lastRequest; }
    // References held, the owner's included: 1 when nobody else holds the frame.
    Steinberg::uint32 refCount() const { return refs.load(); }

    X11Window& window() { return win; }
    LinuxRunLoop& runLoop() { return loop; }

private:
    X11Window& win;
    LinuxRunLoop& loop;
    LinuxRunLoop::HostSourceId source;
    int requests = 0;
    Steinberg::ViewRect lastRequest {};
    std::atomic<Steinberg::uint32> refs {1};
};

} // namespace corvella::testing
