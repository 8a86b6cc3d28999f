#include "x11/X11Host.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <stdexcept>

namespace corvella::testing {

using namespace Steinberg;

namespace {

// Xlib's default error handler ends the process. The host connection can race the plug-in's own:
// a child window may be gone by the time the host handles its creation, and the resulting
// BadWindow must not take the whole test program down with it.
int tolerateXErrors(Display*, XErrorEvent*)
{
    return 0;
}

void installErrorHandler()
{
    static std::once_flag once;
    std::call_once(once, [] { XSetErrorHandler(tolerateXErrors); });
}

// XEmbed messages and flags the embedder sends or reads.
constexpr long xembedEmbeddedNotify = 0;
constexpr long xembedWindowActivate = 1;
constexpr long xembedFocusIn = 4;
constexpr long xembedFocusCurrent = 0;
constexpr unsigned long xembedMapped = 1;

// Scales a masked channel of a pixel to 8 bits, whatever the visual's masks are.
int channel(unsigned long pixel, unsigned long mask)
{
    if (mask == 0)
        return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0)
        ++shift;
    unsigned long max = mask >> shift;
    unsigned long value = (pixel & mask) >> shift;
    return static_cast<int>((value * 255 + max / 2) / max);
}

void putBigEndian(std::vector<unsigned char>& out, std::uint32_t v)
{
    out.push_back(static_cast<unsigned char>(v >> 24));
    out.push_back(static_cast<unsigned char>(v >> 16));
    out.push_back(static_cast<unsigned char>(v >> 8));
    out.push_back(static_cast<unsigned char>(v));
}

void putChunk(std::vector<unsigned char>& out, const char* type, const std::vector<unsigned char>& data)
{
    putBigEndian(out, static_cast<std::uint32_t>(data.size()));
    std::size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    // The CRC covers the chunk type and data, not the length.
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, out.data() + typeAt, static_cast<uInt>(out.size() - typeAt));
    putBigEndian(out, static_cast<std::uint32_t>(crc));
}

} // namespace

int channelDistance(std::uint32_t a, std::uint32_t b)
{
    return std::max({std::abs(redOf(a) - redOf(b)), std::abs(greenOf(a) - greenOf(b)), std::abs(blueOf(a) - blueOf(b))});
}

bool Screenshot::savePng(const std::string& path) const
{
    if (width <= 0 || height <= 0 || rgb.size() != static_cast<std::size_t>(width) * height)
        return false;

    // Each row: filter type 0 (none), then R, G, B.
    std::vector<unsigned char> raw;
    raw.reserve(static_cast<std::size_t>(height) * (1 + 3 * width));
    for (int y = 0; y < height; ++y)
    {
        raw.push_back(0);
        for (int x = 0; x < width; ++x)
        {
            auto c = at(x, y);
            raw.push_back(static_cast<unsigned char>(redOf(c)));
            raw.push_back(static_cast<unsigned char>(greenOf(c)));
            raw.push_back(static_cast<unsigned char>(blueOf(c)));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<unsigned char> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK)
        return false;
    packed.resize(packedSize);

    std::vector<unsigned char> header;
    putBigEndian(header, static_cast<std::uint32_t>(width));
    putBigEndian(header, static_cast<std::uint32_t>(height));
    header.push_back(8); // bits per channel
    header.push_back(2); // colour type: RGB
    header.push_back(0); // deflate
    header.push_back(0); // adaptive filtering
    header.push_back(0); // not interlaced

    static const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<unsigned char> file(signature, signature + sizeof(signature));
    putChunk(file, "IHDR", header);
    putChunk(file, "IDAT", packed);
    putChunk(file, "IEND", {});

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    return static_cast<bool>(out);
}

X11Window::X11Window(int width, int height, const std::string& title) : w(width), h(height)
{
    installErrorHandler();
    dpy = XOpenDisplay(nullptr);
    if (!dpy)
    {
        const char* name = std::getenv("DISPLAY");
        throw std::runtime_error(std::string("cannot open X display '") + (name ? name : "") +
                                 "': run the test under tests/x11/with-xvfb.sh");
    }
    int eventBase, errorBase, major, minor;
    if (!XTestQueryExtension(dpy, &eventBase, &errorBase, &major, &minor))
    {
        XCloseDisplay(dpy);
        throw std::runtime_error("the X server has no XTest extension");
    }
    xembedAtom = XInternAtom(dpy, "_XEMBED", False);
    xembedInfoAtom = XInternAtom(dpy, "_XEMBED_INFO", False);

    int screen = DefaultScreen(dpy);
    XSetWindowAttributes attributes {};
    attributes.background_pixel = BlackPixel(dpy, screen);
    // Structure: our own map and size. Substructure: the child windows a plug-in view creates.
    attributes.event_mask = StructureNotifyMask | SubstructureNotifyMask;
    window = XCreateWindow(dpy, RootWindow(dpy, screen), 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h),
                           0, CopyFromParent, InputOutput, CopyFromParent, CWBackPixel | CWEventMask,
                           &attributes);
    XStoreName(dpy, window, title.c_str());
    XMapWindow(dpy, window);

    // Without a window manager the map is immediate, but only the MapNotify says the server has
    // done it; drawing or capturing earlier would hit an unviewable window.
    XEvent event;
    do
    {
        XWindowEvent(dpy, window, StructureNotifyMask, &event);
    } while (event.type != MapNotify);
    XSync(dpy, False);
}

X11Window::~X11Window()
{
    XDestroyWindow(dpy, window);
    XSync(dpy, False);
    XCloseDisplay(dpy);
}

int X11Window::connectionFd() const
{
    return ConnectionNumber(dpy);
}

void X11Window::resize(int width, int height)
{
    w = width;
    h = height;
    XResizeWindow(dpy, window, static_cast<unsigned>(w), static_cast<unsigned>(h));
    XSync(dpy, False);
}

void X11Window::sync() const
{
    XSync(dpy, False);
}

void X11Window::processEvents()
{
    while (XPending(dpy) > 0)
    {
        XEvent event;
        XNextEvent(dpy, &event);
        switch (event.type)
        {
            case CreateNotify:
                if (event.xcreatewindow.parent == window)
                    embed(event.xcreatewindow.window);
                break;
            case DestroyNotify:
                if (event.xdestroywindow.window == embedded)
                    embedded = 0;
                break;
            default:
                break;
        }
    }
}

void X11Window::embed(unsigned long child)
{
    embedded = child;

    // The client states its XEmbed version and whether it wants to be mapped.
    unsigned long version = 0;
    unsigned long flags = 0;
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy, child, xembedInfoAtom, 0, 2, False, xembedInfoAtom, &type, &format, &items, &after,
                           &data) == Success &&
        data)
    {
        if (format == 32 && items >= 2)
        {
            auto values = reinterpret_cast<unsigned long*>(data);
            version = values[0];
            flags = values[1];
        }
        XFree(data);
    }

    // XEmbed leaves mapping to the embedder only when the client asks for it; VSTGUI does not and
    // maps its window itself on the notification. Mapping it regardless would hide a view that
    // never shows itself.
    if (flags & xembedMapped)
        XMapWindow(dpy, child);
    sendXEmbed(child, xembedEmbeddedNotify, 0, static_cast<long>(window), static_cast<long>(version));
    // The host window has the focus, as the SDK's editor host tells its plug-in.
    sendXEmbed(child, xembedWindowActivate, 0, 0, 0);
    sendXEmbed(child, xembedFocusIn, xembedFocusCurrent, 0, 0);
    XSync(dpy, False);
}

void X11Window::sendXEmbed(unsigned long child, long message, long detail, long data1, long data2)
{
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = child;
    event.xclient.message_type = xembedAtom;
    event.xclient.format = 32;
    event.xclient.data.l[0] = CurrentTime;
    event.xclient.data.l[1] = message;
    event.xclient.data.l[2] = detail;
    event.xclient.data.l[3] = data1;
    event.xclient.data.l[4] = data2;
    // An empty event mask sends the message to the window's creator, the plug-in.
    XSendEvent(dpy, child, False, NoEventMask, &event);
}

std::vector<unsigned long> X11Window::childWindows() const
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    std::vector<unsigned long> result;
    if (XQueryTree(dpy, window, &root, &parent, &children, &count))
    {
        result.assign(children, children + count);
        if (children)
            XFree(children);
    }
    return result;
}

bool X11Window::isMapped(unsigned long windowId) const
{
    XWindowAttributes attributes {};
    if (!XGetWindowAttributes(dpy, windowId, &attributes))
        return false;
    return attributes.map_state != IsUnmapped;
}

Screenshot X11Window::capture() const
{
    XSync(dpy, False);
    XWindowAttributes attributes {};
    if (!XGetWindowAttributes(dpy, window, &attributes))
        throw std::runtime_error("cannot read the host window's attributes");

    // GetImage on a window returns what the screen shows in its area, children included (of the
    // same depth, which VSTGUI's child window is: it copies the parent's). This relies on the
    // window being unobscured and entirely on screen, which a lone window at (0, 0) is.
    XImage* image = XGetImage(dpy, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (!image)
        throw std::runtime_error("XGetImage failed on the host window");

    Screenshot shot;
    shot.width = attributes.width;
    shot.height = attributes.height;
    shot.rgb.resize(static_cast<std::size_t>(shot.width) * shot.height);
    for (int y = 0; y < shot.height; ++y)
    {
        for (int x = 0; x < shot.width; ++x)
        {
            unsigned long pixel = XGetPixel(image, x, y);
            shot.rgb[static_cast<std::size_t>(y) * shot.width + x] =
                rgbOf(channel(pixel, image->red_mask), channel(pixel, image->green_mask),
                      channel(pixel, image->blue_mask));
        }
    }
    XDestroyImage(image);
    return shot;
}

void X11Window::movePointer(int x, int y)
{
    int rootX = 0;
    int rootY = 0;
    Window child = 0;
    XTranslateCoordinates(dpy, window, DefaultRootWindow(dpy), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), rootX, rootY, CurrentTime);
    XSync(dpy, False);
}

void X11Window::press(int button)
{
    if (button < 1 || button > 3)
        throw std::invalid_argument("pointer button must be 1, 2 or 3");
    XTestFakeButtonEvent(dpy, static_cast<unsigned>(button), True, CurrentTime);
    XSync(dpy, False);
}

void X11Window::release(int button)
{
    if (button < 1 || button > 3)
        throw std::invalid_argument("pointer button must be 1, 2 or 3");
    XTestFakeButtonEvent(dpy, static_cast<unsigned>(button), False, CurrentTime);
    XSync(dpy, False);
}

void X11Window::click(int x, int y, int button)
{
    movePointer(x, y);
    press(button);
    release(button);
}

namespace {

void fakeKey(Display* dpy, KeySym key, bool down)
{
    XTestFakeKeyEvent(dpy, XKeysymToKeycode(dpy, key), down ? True : False, CurrentTime);
    XSync(dpy, False);
}

} // namespace

void X11Window::pressShift() { fakeKey(dpy, XK_Shift_L, true); }
void X11Window::releaseShift() { fakeKey(dpy, XK_Shift_L, false); }
void X11Window::pressControl() { fakeKey(dpy, XK_Control_L, true); }
void X11Window::releaseControl() { fakeKey(dpy, XK_Control_L, false); }

TestPlugFrame::TestPlugFrame(X11Window& window, LinuxRunLoop& runLoop)
    : win(window), loop(runLoop), source(runLoop.addHostSource(window.connectionFd(), [&window] { window.processEvents(); }))
{
}

TestPlugFrame::~TestPlugFrame()
{
    loop.removeHostSource(source);
}

tresult PLUGIN_API TestPlugFrame::resizeView(IPlugView* view, ViewRect* newSize)
{
    if (!view || !newSize)
        return kInvalidArgument;
    ++requests;
    lastRequest = *newSize;
    win.resize(newSize->getWidth(), newSize->getHeight());
    view->onSize(newSize);
    return kResultTrue;
}

tresult PLUGIN_API TestPlugFrame::queryInterface(const TUID iid, void** obj)
{
    if (FUnknownPrivate::iidEqual(iid, IPlugFrame::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid))
    {
        addRef();
        *obj = static_cast<IPlugFrame*>(this);
        return kResultOk;
    }
    // The run loop comes with a reference of its own, released by whoever asked for it.
    if (FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid))
    {
        return loop.queryInterface(iid, obj);
    }
    *obj = nullptr;
    return kNoInterface;
}

uint32 PLUGIN_API TestPlugFrame::addRef()
{
    return ++refs;
}

uint32 PLUGIN_API TestPlugFrame::release()
{
    return --refs;
}

} // namespace corvella::testing
