#include "x11/X11Host.h"

#include "pluginterfaces/base/funknownimpl.h"

#include <gtest/gtest.h>
#include <zlib.h>

// After GoogleTest: Xlib's None and Bool macros would break its headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

using namespace corvella::testing;
using namespace Steinberg;
using namespace std::chrono_literals;

namespace {

// Reference counting that only counts: the handlers live on the test's stack, and the count says
// whether the run loop holds them.
template <typename Interface>
class Counted : public Interface
{
public:
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override
    {
        if (FUnknownPrivate::iidEqual(iid, Interface::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid))
        {
            addRef();
            *obj = static_cast<Interface*>(this);
            return kResultOk;
        }
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return ++refs; }
    uint32 PLUGIN_API release() override { return --refs; }

    uint32 refs = 0;
};

class TestTimer : public Counted<Linux::ITimerHandler>
{
public:
    explicit TestTimer(std::function<void()> action = {}) : action(std::move(action)) {}
    void PLUGIN_API onTimer() override
    {
        ++calls;
        if (action)
            action();
    }

    int calls = 0;
    std::function<void()> action;
};

class TestEventHandler : public Counted<Linux::IEventHandler>
{
public:
    explicit TestEventHandler(std::function<void(int)> action = {}) : action(std::move(action)) {}
    void PLUGIN_API onFDIsSet(Linux::FileDescriptor fd) override
    {
        ++calls;
        lastFd = fd;
        if (action)
            action(fd);
    }

    int calls = 0;
    int lastFd = -1;
    std::function<void(int)> action;
};

struct Pipe
{
    int readEnd = -1;
    int writeEnd = -1;

    Pipe()
    {
        int fds[2];
        if (::pipe(fds) != 0)
            throw std::runtime_error("pipe() failed");
        readEnd = fds[0];
        writeEnd = fds[1];
    }
    ~Pipe()
    {
        closeBoth();
    }
    void put() const
    {
        char byte = 'x';
        if (::write(writeEnd, &byte, 1) != 1)
            throw std::runtime_error("write to pipe failed");
    }
    void take() const
    {
        char byte;
        if (::read(readEnd, &byte, 1) != 1)
            throw std::runtime_error("read from pipe failed");
    }
    void closeBoth()
    {
        if (readEnd >= 0)
            ::close(readEnd);
        if (writeEnd >= 0)
            ::close(writeEnd);
        readEnd = writeEnd = -1;
    }
};

// A second X client, in the part a plug-in plays: its own connection, windows inside the host's.
class XClient
{
public:
    XClient() : dpy(XOpenDisplay(nullptr))
    {
        if (!dpy)
            throw std::runtime_error("cannot open the X display");
    }
    ~XClient() { XCloseDisplay(dpy); }

    unsigned long pixel(int r, int g, int b) const
    {
        XColor colour {};
        colour.red = static_cast<unsigned short>(r * 257);
        colour.green = static_cast<unsigned short>(g * 257);
        colour.blue = static_cast<unsigned short>(b * 257);
        if (!XAllocColor(dpy, DefaultColormap(dpy, DefaultScreen(dpy)), &colour))
            throw std::runtime_error("XAllocColor failed");
        return colour.pixel;
    }

    // A mapped child of parent, waited for until it is exposed, so drawing into it sticks.
    Window mappedChild(Window parent, int x, int y, int width, int height, unsigned long background,
                       long eventMask)
    {
        Window child = XCreateSimpleWindow(dpy, parent, x, y, static_cast<unsigned>(width),
                                           static_cast<unsigned>(height), 0, 0, background);
        XSelectInput(dpy, child, eventMask | ExposureMask);
        XMapWindow(dpy, child);
        XEvent event;
        XWindowEvent(dpy, child, ExposureMask, &event);
        // Later exposures of the same mapping say nothing new.
        while (XCheckWindowEvent(dpy, child, ExposureMask, &event))
        {
        }
        return child;
    }

    Display* dpy;
};

std::vector<XEvent> takeButtonEvents(Display* dpy)
{
    // The server queued the events before it answered the host's XSync; this client's own round
    // trip brings everything queued for it before the reply.
    XSync(dpy, False);
    std::vector<XEvent> events;
    while (XPending(dpy) > 0)
    {
        XEvent event;
        XNextEvent(dpy, &event);
        if (event.type == ButtonPress || event.type == ButtonRelease)
            events.push_back(event);
    }
    return events;
}

std::vector<unsigned char> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t bigEndian(const std::vector<unsigned char>& bytes, std::size_t at)
{
    return (std::uint32_t(bytes[at]) << 24) | (std::uint32_t(bytes[at + 1]) << 16) |
           (std::uint32_t(bytes[at + 2]) << 8) | std::uint32_t(bytes[at + 3]);
}

std::string tempPath(const std::string& name)
{
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/" + name + "-" + std::to_string(::getpid()) + ".png";
}

class FakeView : public Counted<IPlugView>
{
public:
    tresult PLUGIN_API isPlatformTypeSupported(FIDString) override { return kResultTrue; }
    tresult PLUGIN_API attached(void*, FIDString) override { return kResultOk; }
    tresult PLUGIN_API removed() override { return kResultOk; }
    tresult PLUGIN_API onWheel(float) override { return kResultFalse; }
    tresult PLUGIN_API onKeyDown(char16, int16, int16) override { return kResultFalse; }
    tresult PLUGIN_API onKeyUp(char16, int16, int16) override { return kResultFalse; }
    tresult PLUGIN_API getSize(ViewRect* size) override
    {
        *size = current;
        return kResultOk;
    }
    tresult PLUGIN_API onSize(ViewRect* newSize) override
    {
        ++onSizeCalls;
        current = *newSize;
        return kResultOk;
    }
    tresult PLUGIN_API onFocus(TBool) override { return kResultOk; }
    tresult PLUGIN_API setFrame(IPlugFrame*) override { return kResultOk; }
    tresult PLUGIN_API canResize() override { return kResultTrue; }
    tresult PLUGIN_API checkSizeConstraint(ViewRect*) override { return kResultOk; }

    ViewRect current {0, 0, 100, 100};
    int onSizeCalls = 0;
};

} // namespace

// --- The run loop --------------------------------------------------------------------------------

TEST(LinuxRunLoopTest, TimerFiresRepeatedlyAndStopsWhenUnregistered)
{
    LinuxRunLoop loop;
    TestTimer timer;
    ASSERT_EQ(loop.registerTimer(&timer, 5), kResultTrue);
    EXPECT_EQ(loop.timerCount(), 1u);
    EXPECT_EQ(timer.refs, 1u) << "the loop holds the handler while it is registered";

    EXPECT_TRUE(loop.runUntil([&] { return timer.calls >= 3; }, 5s));
    EXPECT_EQ(loop.timerCallbacks(), static_cast<std::uint64_t>(timer.calls));

    EXPECT_EQ(loop.unregisterTimer(&timer), kResultTrue);
    EXPECT_EQ(loop.timerCount(), 0u);
    EXPECT_EQ(timer.refs, 0u) << "unregistering gives the reference back";
    int calls = timer.calls;
    loop.runFor(30ms);
    EXPECT_EQ(timer.calls, calls);
}

TEST(LinuxRunLoopTest, EventHandlerIsCalledWhileItsDescriptorIsReadable)
{
    LinuxRunLoop loop;
    Pipe pipe;
    TestEventHandler handler([&](int) { pipe.take(); });
    ASSERT_EQ(loop.registerEventHandler(&handler, pipe.readEnd), kResultTrue);
    EXPECT_EQ(loop.eventHandlerCount(), 1u);
    EXPECT_EQ(loop.watchedDescriptors(), std::vector<int>{pipe.readEnd});
    EXPECT_EQ(handler.refs, 1u);

    loop.runFor(20ms);
    EXPECT_EQ(handler.calls, 0) << "nothing to read yet";

    pipe.put();
    EXPECT_TRUE(loop.runUntil([&] { return handler.calls == 1; }, 5s));
    EXPECT_EQ(handler.lastFd, pipe.readEnd);
    loop.runFor(20ms);
    EXPECT_EQ(handler.calls, 1) << "the byte was read, so the descriptor is no longer readable";

    EXPECT_EQ(loop.unregisterEventHandler(&handler), kResultTrue);
    EXPECT_EQ(loop.eventHandlerCount(), 0u);
    EXPECT_EQ(handler.refs, 0u);
}

TEST(LinuxRunLoopTest, HandlersUnregisteringThemselvesAreNotCalledAgain)
{
    LinuxRunLoop loop;
    Pipe pipe;
    // Leaves the byte unread: the descriptor stays readable, only the unregistration stops it.
    TestEventHandler handler;
    handler.action = [&](int) { loop.unregisterEventHandler(&handler); };
    TestTimer timer;
    timer.action = [&] { loop.unregisterTimer(&timer); };
    ASSERT_EQ(loop.registerEventHandler(&handler, pipe.readEnd), kResultTrue);
    ASSERT_EQ(loop.registerTimer(&timer, 1), kResultTrue);

    pipe.put();
    EXPECT_TRUE(loop.runUntil([&] { return handler.calls > 0 && timer.calls > 0; }, 5s));
    loop.runFor(30ms);
    EXPECT_EQ(handler.calls, 1);
    EXPECT_EQ(timer.calls, 1);
    EXPECT_EQ(loop.eventHandlerCount(), 0u);
    EXPECT_EQ(loop.timerCount(), 0u);
    EXPECT_EQ(handler.refs, 0u);
    EXPECT_EQ(timer.refs, 0u);
}

TEST(LinuxRunLoopTest, RejectsInvalidRegistrations)
{
    LinuxRunLoop loop;
    Pipe pipe;
    TestEventHandler handler;
    TestEventHandler other;
    TestTimer timer;

    EXPECT_EQ(loop.registerEventHandler(nullptr, pipe.readEnd), kInvalidArgument);
    EXPECT_EQ(loop.registerEventHandler(&handler, -1), kInvalidArgument);
    EXPECT_EQ(loop.registerTimer(nullptr, 10), kInvalidArgument);
    EXPECT_EQ(loop.registerTimer(&timer, 0), kInvalidArgument);
    EXPECT_EQ(loop.unregisterEventHandler(&handler), kResultFalse);
    EXPECT_EQ(loop.unregisterTimer(&timer), kResultFalse);
    EXPECT_EQ(loop.unregisterEventHandler(nullptr), kInvalidArgument);
    EXPECT_EQ(loop.unregisterTimer(nullptr), kInvalidArgument);

    ASSERT_EQ(loop.registerEventHandler(&handler, pipe.readEnd), kResultTrue);
    EXPECT_EQ(loop.registerEventHandler(&other, pipe.readEnd), kInvalidArgument) << "one handler per descriptor";
    ASSERT_EQ(loop.registerTimer(&timer, 10), kResultTrue);
    EXPECT_EQ(loop.registerTimer(&timer, 20), kInvalidArgument) << "a timer is registered once at a time";
    EXPECT_EQ(loop.eventHandlerCount(), 1u);
    EXPECT_EQ(loop.timerCount(), 1u);
    EXPECT_EQ(other.refs, 0u);
    EXPECT_EQ(timer.refs, 1u);

    loop.unregisterEventHandler(&handler);
    loop.unregisterTimer(&timer);
}

TEST(LinuxRunLoopTest, QueryInterfaceCountsReferences)
{
    LinuxRunLoop loop;
    EXPECT_EQ(loop.refCount(), 1u);
    void* obj = nullptr;
    ASSERT_EQ(loop.queryInterface(Linux::IRunLoop::iid, &obj), kResultOk);
    EXPECT_EQ(obj, static_cast<Linux::IRunLoop*>(&loop));
    EXPECT_EQ(loop.refCount(), 2u);
    static_cast<Linux::IRunLoop*>(obj)->release();
    EXPECT_EQ(loop.refCount(), 1u);

    EXPECT_EQ(loop.queryInterface(IPlugFrame::iid, &obj), kNoInterface);
    EXPECT_EQ(obj, nullptr);
    EXPECT_EQ(loop.refCount(), 1u);
}

// --- Screenshots ---------------------------------------------------------------------------------

TEST(ScreenshotTest, SavePngWritesTheImage)
{
    Screenshot shot;
    shot.width = 3;
    shot.height = 2;
    shot.rgb = {rgbOf(255, 0, 0), rgbOf(0, 255, 0), rgbOf(0, 0, 255),
                rgbOf(1, 2, 3), rgbOf(255, 255, 255), rgbOf(0, 0, 0)};
    auto path = tempPath("vastora-screenshot");
    ASSERT_TRUE(shot.savePng(path));
    auto bytes = readFile(path);
    std::remove(path.c_str());

    const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    ASSERT_GT(bytes.size(), sizeof(signature));
    ASSERT_TRUE(std::equal(signature, signature + 8, bytes.begin()));

    // Walk the chunks, checking each CRC, and collect the header and the compressed data.
    std::vector<unsigned char> header;
    std::vector<unsigned char> packed;
    std::vector<std::string> types;
    std::size_t at = 8;
    while (at + 12 <= bytes.size())
    {
        std::uint32_t length = bigEndian(bytes, at);
        ASSERT_LE(at + 12 + length, bytes.size());
        std::string type(bytes.begin() + at + 4, bytes.begin() + at + 8);
        uLong crc = crc32(crc32(0L, Z_NULL, 0), bytes.data() + at + 4, length + 4);
        EXPECT_EQ(bigEndian(bytes, at + 8 + length), crc) << type;
        std::vector<unsigned char> data(bytes.begin() + at + 8, bytes.begin() + at + 8 + length);
        if (type == "IHDR")
            header = data;
        if (type == "IDAT")
            packed.insert(packed.end(), data.begin(), data.end());
        types.push_back(type);
        at += 12 + length;
    }
    EXPECT_EQ(at, bytes.size());
    ASSERT_FALSE(types.empty());
    EXPECT_EQ(types.front(), "IHDR");
    EXPECT_EQ(types.back(), "IEND");

    ASSERT_EQ(header.size(), 13u);
    EXPECT_EQ(bigEndian(header, 0), 3u);
    EXPECT_EQ(bigEndian(header, 4), 2u);
    EXPECT_EQ(header[8], 8) << "bit depth";
    EXPECT_EQ(header[9], 2) << "colour type RGB";

    std::vector<unsigned char> raw(2 * (1 + 3 * 3));
    uLongf rawSize = raw.size();
    ASSERT_EQ(uncompress(raw.data(), &rawSize, packed.data(), packed.size()), Z_OK);
    ASSERT_EQ(rawSize, raw.size());
    for (int y = 0; y < 2; ++y)
    {
        const unsigned char* row = raw.data() + y * 10;
        EXPECT_EQ(row[0], 0) << "filter type";
        for (int x = 0; x < 3; ++x)
        {
            std::uint32_t c = rgbOf(row[1 + 3 * x], row[2 + 3 * x], row[3 + 3 * x]);
            EXPECT_EQ(c, shot.at(x, y)) << x << "," << y;
        }
    }
}

TEST(X11WindowTest, CaptureShowsWhatAnotherClientDrewInAChildWindow)
{
    X11Window window(240, 160);
    XClient client;
    // A blue child at (40, 30), 100 x 60, with a red rectangle at (10, 10), 50 x 30 inside it:
    // drawn by another connection, as VSTGUI draws on its own.
    Window child = client.mappedChild(window.id(), 40, 30, 100, 60, client.pixel(0, 0, 255), 0);
    GC gc = XCreateGC(client.dpy, child, 0, nullptr);
    XSetForeground(client.dpy, gc, client.pixel(255, 0, 0));
    XFillRectangle(client.dpy, child, gc, 10, 10, 50, 30);
    XFreeGC(client.dpy, gc);
    XSync(client.dpy, False);

    auto shot = window.capture();
    ASSERT_EQ(shot.width, 240);
    ASSERT_EQ(shot.height, 160);
    EXPECT_EQ(shot.at(5, 5), rgbOf(0, 0, 0)) << "the host window's background";
    EXPECT_EQ(shot.at(239, 159), rgbOf(0, 0, 0));
    EXPECT_EQ(shot.at(40, 30), rgbOf(0, 0, 255)) << "the child's background";
    EXPECT_EQ(shot.at(139, 89), rgbOf(0, 0, 255));
    EXPECT_EQ(shot.at(140, 90), rgbOf(0, 0, 0));
    EXPECT_EQ(shot.at(50, 40), rgbOf(255, 0, 0)) << "the client's drawing";
    EXPECT_EQ(shot.at(75, 55), rgbOf(255, 0, 0));
    EXPECT_EQ(shot.at(99, 69), rgbOf(255, 0, 0));
    EXPECT_EQ(shot.at(100, 70), rgbOf(0, 0, 255));
    EXPECT_EQ(shot.at(49, 39), rgbOf(0, 0, 255));

    auto path = tempPath("vastora-capture");
    EXPECT_TRUE(shot.savePng(path));
    std::remove(path.c_str());
}

TEST(X11WindowTest, ClickArrivesAtTheChildWindowUnderThePointer)
{
    X11Window window(200, 200);
    XClient client;
    Window child = client.mappedChild(window.id(), 40, 50, 100, 80, client.pixel(0, 0, 0),
                                      ButtonPressMask | ButtonReleaseMask);

    window.click(60, 70);
    auto events = takeButtonEvents(client.dpy);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].type, ButtonPress);
    EXPECT_EQ(events[1].type, ButtonRelease);
    for (const auto& event : events)
    {
        EXPECT_EQ(event.xbutton.window, child);
        EXPECT_EQ(event.xbutton.button, 1u);
        EXPECT_EQ(event.xbutton.x, 20) << "window (60, 70) is child (20, 20)";
        EXPECT_EQ(event.xbutton.y, 20);
        EXPECT_EQ(event.xbutton.state & ShiftMask, 0u);
    }
    EXPECT_EQ(events[1].xbutton.state & Button1Mask, Button1Mask) << "released while held";
}

TEST(TestPlugFrameTest, HandsOutTheRunLoopWithAReference)
{
    LinuxRunLoop loop;
    X11Window window(100, 100);
    TestPlugFrame frame(window, loop);

    void* obj = nullptr;
    ASSERT_EQ(frame.queryInterface(Linux::IRunLoop::iid, &obj), kResultOk);
    EXPECT_EQ(obj, static_cast<Linux::IRunLoop*>(&loop));
    EXPECT_EQ(loop.refCount(), 2u);
    static_cast<Linux::IRunLoop*>(obj)->release();
    EXPECT_EQ(loop.refCount(), 1u);

    {
        // The way VSTGUI's VST3 editor asks for it.
        FUnknownPtr<Linux::IRunLoop> runLoop(static_cast<IPlugFrame*>(&frame));
        ASSERT_TRUE(runLoop);
        EXPECT_EQ(runLoop.get(), static_cast<Linux::IRunLoop*>(&loop));
        EXPECT_EQ(loop.refCount(), 2u);
    }
    EXPECT_EQ(loop.refCount(), 1u);

    ASSERT_EQ(frame.queryInterface(IPlugFrame::iid, &obj), kResultOk);
    EXPECT_EQ(obj, static_cast<IPlugFrame*>(&frame));
    EXPECT_EQ(frame.refCount(), 2u);
    frame.release();
    EXPECT_EQ(frame.refCount(), 1u);

    EXPECT_EQ(frame.queryInterface(Linux::ITimerHandler::iid, &obj), kNoInterface);
    EXPECT_EQ(obj, nullptr);
}

TEST(TestPlugFrameTest, ResizeViewResizesTheWindowAndTellsTheView)
{
    LinuxRunLoop loop;
    X11Window window(100, 100);
    TestPlugFrame frame(window, loop);
    FakeView view;

    ViewRect request(0, 0, 300, 200);
    EXPECT_EQ(frame.resizeView(&view, &request), kResultTrue);
    EXPECT_EQ(frame.resizeRequests(), 1);
    EXPECT_EQ(frame.lastRequestedSize().getWidth(), 300);
    EXPECT_EQ(frame.lastRequestedSize().getHeight(), 200);
    EXPECT_EQ(view.onSizeCalls, 1);
    EXPECT_EQ(view.current.getWidth(), 300);
    EXPECT_EQ(view.current.getHeight(), 200);
    auto shot = window.capture();
    EXPECT_EQ(shot.width, 300);
    EXPECT_EQ(shot.height, 200);

    EXPECT_EQ(frame.resizeView(&view, nullptr), kInvalidArgument);
    EXPECT_EQ(frame.resizeView(nullptr, &request), kInvalidArgument);
    EXPECT_EQ(frame.resizeRequests(), 1);
}

