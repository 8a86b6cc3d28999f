#include "x11/LinuxRunLoop.h"

#include <algorithm>
#include <poll.h>

namespace corvella::testing {

using namespace Steinberg;

namespace {

// poll() counts in whole milliseconds; rounding up keeps a pass from waking just before a timer
// falls due and spinning until it does.
int toPollTimeout(LinuxRunLoop::Clock::duration wait)
{
    if (wait <= LinuxRunLoop::Clock::duration::zero())
        return 0;
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
    return static_cast<int>(std::min<decltype(ms)>(ms, 1000 * 60));
}

} // namespace

LinuxRunLoop::LinuxRunLoop() = default;

// Whatever the plug-in left registered is released here with the entries; a test that cares
// checks eventHandlerCount() and timerCount() before it gets this far.
LinuxRunLoop::~LinuxRunLoop() = default;

tresult PLUGIN_API LinuxRunLoop::registerEventHandler(Linux::IEventHandler* handler, Linux::FileDescriptor fd)
{
    if (!handler || fd < 0)
        return kInvalidArgument;
    auto sameFd = [fd](const EventEntry& e) { return e.fd == fd; };
    if (std::any_of(eventEntries.begin(), eventEntries.end(), sameFd))
        return kInvalidArgument;
    eventEntries.push_back({nextSerial++, fd, IPtr<Linux::IEventHandler>(handler), false});
    return kResultTrue;
}

tresult PLUGIN_API LinuxRunLoop::unregisterEventHandler(Linux::IEventHandler* handler)
{
    if (!handler)
        return kInvalidArgument;
    // Erasing drops the loop's reference; a handler that unregisters itself from its own callback
    // stays alive until the callback returns, because the dispatch holds a reference of its own.
    auto it = std::remove_if(eventEntries.begin(), eventEntries.end(),
                             [handler](const EventEntry& e) { return e.handler.get() == handler; });
    if (it == eventEntries.end())
        return kResultFalse;
    eventEntries.erase(it, eventEntries.end());
    return kResultTrue;
}

tresult PLUGIN_API LinuxRunLoop::registerTimer(Linux::ITimerHandler* handler, Linux::TimerInterval milliseconds)
{
    if (!handler || milliseconds == 0)
        return kInvalidArgument;
    auto same = [handler](const TimerEntry& e) { return e.handler.get() == handler; };
    if (std::any_of(timerEntries.begin(), timerEntries.end(), same))
        return kInvalidArgument;
    auto interval = std::chrono::duration_cast<Clock::duration>(std::chrono::milliseconds(milliseconds));
    timerEntries.push_back({nextSerial++, IPtr<Linux::ITimerHandler>(handler), interval, Clock::now() + interval});
    return kResultTrue;
}

tresult PLUGIN_API LinuxRunLoop::unregisterTimer(Linux::ITimerHandler* handler)
{
    if (!handler)
        return kInvalidArgument;
    auto it = std::remove_if(timerEntries.begin(), timerEntries.end(),
                             [handler](const TimerEntry& e) { return e.handler.get() == handler; });
    if (it == timerEntries.end())
        return kResultFalse;
    timerEntries.erase(it, timerEntries.end());
    return kResultTrue;
}

tresult PLUGIN_API LinuxRunLoop::queryInterface(const TUID iid, void** obj)
{
    if (FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid))
    {
        addRef();
        *obj = static_cast<Linux::IRunLoop*>(this);
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}

uint32 PLUGIN_API LinuxRunLoop::addRef()
{
    return ++refs;
}

uint32 PLUGIN_API LinuxRunLoop::release()
{
    return --refs;
}

std::vector<int> LinuxRunLoop::watchedDescriptors() const
{
    std::vector<int> fds;
    for (const auto& e : eventEntries)
        fds.push_back(e.fd);
    return fds;
}

LinuxRunLoop::HostSourceId LinuxRunLoop::addHostSource(int fd, std::function<void()> dispatch)
{
    HostSourceId id = nextHostSourceId++;
    hostSources.push_back({id, fd, std::move(dispatch)});
    return id;
}

void LinuxRunLoop::removeHostSource(HostSourceId id)
{
    hostSources.erase(std::remove_if(hostSources.begin(), hostSources.end(),
                                     [id](const HostSource& s) { return s.id == id; }),
                      hostSources.end());
}

LinuxRunLoop::EventEntry* LinuxRunLoop::findEvent(std::uint64_t serial)
{
    for (auto& e : eventEntries)
    {
        if (e.serial == serial)
            return &e;
    }
    return nullptr;
}

LinuxRunLoop::TimerEntry* LinuxRunLoop::findTimer(std::uint64_t serial)
{
    for (auto& e : timerEntries)
    {
        if (e.serial == serial)
            return &e;
    }
    return nullptr;
}

void LinuxRunLoop::dispatchHostSources(const std::vector<HostSourceId>& ids)
{
    for (auto id : ids)
    {
        // Looked up afresh each time: a dispatch may remove a source, its own included.
        auto it = std::find_if(hostSources.begin(), hostSources.end(),
                               [id](const HostSource& s) { return s.id == id; });
        if (it == hostSources.end())
            continue;
        auto dispatch = it->dispatch;
        dispatch();
    }
}

void LinuxRunLoop::fireDueTimers()
{
    auto now = Clock::now();
    std::vector<std::uint64_t> due;
    for (const auto& t : timerEntries)
    {
        if (t.due <= now)
            due.push_back(t.serial);
    }
    for (auto serial : due)
    {
        auto* entry = findTimer(serial);
        if (!entry)
            continue; // unregistered by an earlier callback of this pass
        // The next due time counts from now rather than from the missed one, so a loop that was
        // not pumped for a while fires each timer once, not once per missed interval.
        entry->due = Clock::now() + entry->interval;
        IPtr<Linux::ITimerHandler> handler = entry->handler;
        ++timerCallbackCount;
        handler->onTimer();
    }
}

void LinuxRunLoop::runOnce(std::chrono::milliseconds maxWait)
{
    std::vector<HostSourceId> hostIds;
    for (const auto& s : hostSources)
        hostIds.push_back(s.id);
    dispatchHostSources(hostIds);

    auto wait = std::chrono::duration_cast<Clock::duration>(maxWait);
    auto now = Clock::now();
    for (const auto& t : timerEntries)
        wait = std::min(wait, t.due - now);

    // Snapshot of what to poll: callbacks below may change the registrations.
    std::vector<pollfd> fds;
    std::vector<std::uint64_t> serials; // per pollfd: the event entry, or 0 for a host source
    std::vector<HostSourceId> hostOfFd;
    for (const auto& e : eventEntries)
    {
        if (e.closed)
            continue;
        fds.push_back({e.fd, POLLIN, 0});
        serials.push_back(e.serial);
        hostOfFd.push_back(0);
    }
    for (const auto& s : hostSources)
    {
        if (s.fd < 0)
            continue;
        fds.push_back({s.fd, POLLIN, 0});
        serials.push_back(0);
        hostOfFd.push_back(s.id);
    }

    // An interrupted poll (EINTR) only means this pass dispatches no descriptors.
    int ready = ::poll(fds.data(), fds.size(), toPollTimeout(wait));

    if (ready > 0)
    {
        std::vector<HostSourceId> readyHosts;
        for (std::size_t i = 0; i < fds.size(); ++i)
        {
            auto revents = fds[i].revents;
            if (revents == 0)
                continue;
            if (serials[i] == 0)
            {
                readyHosts.push_back(hostOfFd[i]);
                continue;
            }
            auto* entry = findEvent(serials[i]);
            if (!entry)
                continue; // unregistered by an earlier callback of this pass
            if (revents & POLLNVAL)
            {
                entry->closed = true;
                closedFds.push_back(entry->fd);
                continue;
            }
            // A hang-up or error is reported like readability: reading is how the handler finds
            // out, and a handler that never unregisters would be called on every pass, as in a
            // real host.
            IPtr<Linux::IEventHandler> handler = entry->handler;
            int fd = entry->fd;
            ++eventCallbackCount;
            handler->onFDIsSet(fd);
        }
        dispatchHostSources(readyHosts);
    }

    fireDueTimers();
}

void LinuxRunLoop::runFor(std::chrono::milliseconds duration)
{
    auto deadline = Clock::now() + duration;
    for (;;)
    {
        auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero())
            break;
        runOnce(std::chrono::ceil<std::chrono::milliseconds>(left));
    }
}

bool LinuxRunLoop::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    if (done())
        return true;
    auto deadline = Clock::now() + timeout;
    // Short slices: done() may turn true through something the loop does not watch, such as
    // another client's drawing reaching the X server.
    constexpr auto slice = std::chrono::milliseconds(10);
    for (;;)
    {
        auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero())
            return done();
        runOnce(std::min(slice, std::chrono::ceil<std::chrono::milliseconds>(left)));
        if (done())
            return true;
    }
}

} // namespace corvella::testing
