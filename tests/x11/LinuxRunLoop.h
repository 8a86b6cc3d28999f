#pragma once

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/gui/iplugview.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

namespace corvella::testing {

// The run loop a Linux host lends a plug-in view, for a single-threaded test host. On Linux there
// is no system event loop: VSTGUI asks the host (through IPlugFrame) to watch its X connection and
// to run its timers, and nothing of the editor happens unless the test pumps this loop.
//
// The loop holds a reference to every registered handler and dispatches from a snapshot, so a
// handler may unregister itself or any other handler, or register new ones, from inside a callback:
// an unregistered handler is not called again, not even later in the same pass, and a new one is
// first considered in the next pass.
//
// The object lives where its owner puts it (usually on the test's stack): references handed out
// through queryInterface are counted, so a test can check that the plug-in gave them all back,
// but the last release never deletes it.
class LinuxRunLoop : public Steinberg::Linux::IRunLoop
{
public:
    using Clock = std::chrono::steady_clock;
    using HostSourceId = int;

    LinuxRunLoop();
    ~LinuxRunLoop();
    LinuxRunLoop(const LinuxRunLoop&) = delete;
    LinuxRunLoop& operator=(const LinuxRunLoop&) = delete;

    // IRunLoop. One handler per descriptor; a handler may watch several descriptors, and
    // unregistering it stops all of them. A timer handler is registered once at a time, with a
    // non-zero interval. Anything else is kInvalidArgument; unregistering an unknown handler is
    // kResultFalse.
    Steinberg::tresult PLUGIN_API registerEventHandler(Steinberg::Linux::IEventHandler* handler,
                                                       Steinberg::Linux::FileDescriptor fd) override;
    Steinberg::tresult PLUGIN_API unregisterEventHandler(Steinberg::Linux::IEventHandler* handler) override;
    Steinberg::tresult PLUGIN_API registerTimer(Steinberg::Linux::ITimerHandler* handler,
                                                Steinberg::Linux::TimerInterval milliseconds) override;
    Steinberg::tresult PLUGIN_API unregisterTimer(Steinberg::Linux::ITimerHandler* handler) override;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override;
    Steinberg::uint32 PLUGIN_API release() override;

    // Dispatches readable descriptors and due timers until the duration has elapsed.
    void runFor(std::chrono::milliseconds duration);
    // Dispatches until done() is true (checked before the first pass and after every pass) or the
    // timeout has elapsed; returns whether done() became true.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    // One pass: waits at most maxWait for a descriptor to become readable or a timer to fall due,
    // then dispatches what is ready.
    void runOnce(std::chrono::milliseconds maxWait = std::chrono::milliseconds(0));

    // Host-side work that rides on the same loop, such as the host window's own X connection. It
    // is not part of what the plug-in registered and is not counted below. dispatch() runs at the
    // start of every pass (Xlib may already hold queued events that no poll would report) and
    // whenever fd is readable.
    HostSourceId addHostSource(int fd, std::function<void()> dispatch);
    void removeHostSource(HostSourceId id);

    // What the plug-in has registered right now.
    std::size_t eventHandlerCount() const { return eventEntries.size(); }
    std::size_t timerCount() const { return timerEntries.size(); }
    std::vector<int> watchedDescriptors() const;
    // Descriptors that poll() found closed while still registered: a handler that closes its
    // descriptor before unregistering leaves one here. They are not polled again.
    const std::vector<int>& closedDescriptors() const { return closedFds; }
    // Callbacks made so far, to tell a live editor from one that registered and went quiet.
    std::uint64_t eventCallbacks() const { return eventCallbackCount; }
    std::uint64_t timerCallbacks() const { return timerCallbackCount; }
    // References held, the owner's included: 1 when nobody else holds the loop.
    Steinberg::uint32 refCount() const { return refs.load(); }

private:
    struct EventEntry
    {
        std::uint64_t serial;
        int fd;
        Steinberg::IPtr<Steinberg::Linux::IEventHandler> handler;
        bool closed;
    };
    struct TimerEntry
    {
        std::uint64_t serial;
        Steinberg::IPtr<Steinberg::Linux::ITimerHandler> handler;
        Clock::duration interval;
        Clock::time_point due;
    };
    struct HostSource
    {
        HostSourceId id;
        int fd;
        std::function<void()> dispatch;
    };

    EventEntry* findEvent(std::uint64_t serial);
    TimerEntry* findTimer(std::uint64_t serial);
    void dispatchHostSources(const std::vector<HostSourceId>& ids);
    void fireDueTimers();

    std::vector<EventEntry> eventEntries;
    std::vector<TimerEntry> timerEntries;
    std::vector<HostSource> hostSources;
    std::vector<int> closedFds;
    std::uint64_t nextSerial = 1;
    HostSourceId nextHostSourceId = 1;
    std::uint64_t eventCallbackCount = 0;
    std::uint64_t timerCallbackCount = 0;
    std::atomic<Steinberg::uint32> refs {1};
};

} // namespace corvella::testing
