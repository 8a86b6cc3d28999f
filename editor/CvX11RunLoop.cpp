#include "editor/CvX11RunLoop.h"

#include "base/source/fobject.h"
#include "pluginterfaces/gui/iplugview.h"
#include "vstgui/lib/platform/linux/x11platform.h"
#include "vstgui/lib/vstguibase.h"

#include <algorithm>
#include <vector>

namespace corvella {

namespace {

using namespace Steinberg;

struct EventHandler : Linux::IEventHandler, FObject
{
    VSTGUI::X11::IEventHandler* handler = nullptr;
    void PLUGIN_API onFDIsSet(Linux::FileDescriptor) override
    {
        if (handler)
            handler->onEvent();
    }
    DELEGATE_REFCOUNT(FObject)
    DEFINE_INTERFACES
        DEF_INTERFACE(Linux::IEventHandler)
    END_DEFINE_INTERFACES(FObject)
};

struct TimerHandler : Linux::ITimerHandler, FObject
{
    VSTGUI::X11::ITimerHandler* handler = nullptr;
    void PLUGIN_API onTimer() override
    {
        if (handler)
            handler->onTimer();
    }
    DELEGATE_REFCOUNT(FObject)
    DEFINE_INTERFACES
        DEF_INTERFACE(Linux::ITimerHandler)
    END_DEFINE_INTERFACES(FObject)
};

class HostRunLoop : public VSTGUI::X11::IRunLoop, public VSTGUI::AtomicReferenceCounted
{
public:
    explicit HostRunLoop(Linux::IRunLoop* host) : host(host) {}

    ~HostRunLoop() override
    {
        // Whatever VSTGUI left registered must not call into freed objects later.
        for (auto& h : events)
        {
            h->handler = nullptr;
            host->unregisterEventHandler(h);
        }
        for (auto& h : timers)
        {
            h->handler = nullptr;
            host->unregisterTimer(h);
        }
    }

    bool registerEventHandler(int fd, VSTGUI::X11::IEventHandler* handler) override
    {
        auto adapter = owned(new EventHandler);
        adapter->handler = handler;
        if (host->registerEventHandler(adapter, fd) != kResultTrue)
            return false;
        events.push_back(adapter);
        return true;
    }

    bool unregisterEventHandler(VSTGUI::X11::IEventHandler* handler) override
    {
        return unregister(events, handler, [this](EventHandler* h) { host->unregisterEventHandler(h); });
    }

    bool registerTimer(uint64_t interval, VSTGUI::X11::ITimerHandler* handler) override
    {
        auto adapter = owned(new TimerHandler);
        adapter->handler = handler;
        if (host->registerTimer(adapter, interval) != kResultTrue)
            return false;
        timers.push_back(adapter);
        return true;
    }

    bool unregisterTimer(VSTGUI::X11::ITimerHandler* handler) override
    {
        return unregister(timers, handler, [this](TimerHandler* h) { host->unregisterTimer(h); });
    }

private:
    template <typename Adapter, typename Handler, typename Unregister>
    static bool unregister(std::vector<IPtr<Adapter>>& list, Handler* handler, Unregister hostUnregister)
    {
        const auto it = std::find_if(list.begin(), list.end(), [handler](const IPtr<Adapter>& a) { return a->handler == handler; });
        if (it == list.end())
            return false;
        IPtr<Adapter> adapter = *it; // keep it alive while the host lets go of it
        list.erase(it);
        adapter->handler = nullptr;
        hostUnregister(adapter);
        return true;
    }

    IPtr<Linux::IRunLoop> host;
    std::vector<IPtr<EventHandler>> events;
    std::vector<IPtr<TimerHandler>> timers;
};

} // namespace

VSTGUI::SharedPointer<VSTGUI::X11::IRunLoop> makeX11RunLoop(FUnknown* hostObject)
{
    if (!hostObject)
        return nullptr;
    FUnknownPtr<Linux::IRunLoop> runLoop(hostObject);
    if (!runLoop)
        return nullptr;
    return VSTGUI::makeOwned<HostRunLoop>(runLoop.get());
}

void retainX11RunLoop(const VSTGUI::SharedPointer<VSTGUI::X11::IRunLoop>& runLoop) { VSTGUI::X11::RunLoop::init(runLoop); }

void releaseX11RunLoop() { VSTGUI::X11::RunLoop::exit(); }

} // namespace corvella
