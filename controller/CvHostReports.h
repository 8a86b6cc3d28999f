#pragma once

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

namespace corvella {

// What an edit controller has told its host of its values, and what it must still tell it.
//
// Each parameter has a slot holding its current value. A value the controller changes on its own
// (a preset, a loaded state) is marked due and reported with performEdit alone: it is no user's
// touch, and a gesture would have the host record automation. What goes out is the slot's value
// when it is sent, not when it was marked, so nothing the controller has since replaced is sent
// and what waits is one mark per slot, never a history.
//
// One thread at a time sends. A call that finds another one sending leaves its marks to it; the
// sender, once it has sent one edit, leaves the rest to another call still under way, so that a
// thread that keeps loading holds no other call up. The last call to end sends all that is left.
// No lock is held across a call into the host, and a call the host makes from inside performEdit
// leaves the sending to the call below it.
class CvHostReports
{
public:
    explicit CvHostReports(const std::vector<Steinberg::Vst::ParamID>& ids);

    // Without a handler nothing is due: no host is listening.
    void setHandler(Steinberg::Vst::IComponentHandler* handler);

    // The value of `id` is now `value`. `heard`: the host set it itself, so it knows the value
    // and nothing of it is due.
    void set(Steinberg::Vst::ParamID id, double value, bool heard);
    void markDue(Steinberg::Vst::ParamID id);
    // A withheld slot is neither marked nor sent: its value means nothing to the host now (the
    // program change while no program is current).
    void withhold(Steinberg::Vst::ParamID id, bool withheld);
    // True when the host was last told, or last set itself, another value for `id`.
    bool heardOther(Steinberg::Vst::ParamID id, double value);
    // True when the host hands back, from inside this thread's performEdit of `id`, the value it
    // is being told there (JUCE's host and Ardour do, JUCE's rounded to float).
    bool isEcho(Steinberg::Vst::ParamID id, double value);

    // The editor's own edit: it goes to the host at once, and when another thread has replaced
    // the value meanwhile, the newer one follows it.
    Steinberg::tresult perform(Steinberg::Vst::ParamID id, double value);

    // Closer values count as one: the processor's and the controller's streams may differ in the
    // last bits of a value that went through its normalized form.
    static bool same(double a, double b);

    // Every call that may mark values due lives in a Call, made before it takes any lock of its
    // own: when the Call ends, what is due is sent, unless another thread or a call further down
    // this thread's stack is sending.
    class Call
    {
    public:
        explicit Call(CvHostReports& reports);
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

    private:
        CvHostReports& reports;
    };

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    struct Slot
    {
        Steinberg::Vst::ParamID id;
        double value = 0.0;
        double heard = 0.0;
        bool known = false; // the host has been told or has set a value
        bool withheld = false;
    };

    std::size_t find(Steinberg::Vst::ParamID id) const;
    void markDueLocked(std::size_t slot);
    void clearDueLocked(std::size_t slot);
    // The host has just been told `value` for the slot.
    void toldLocked(std::size_t slot, double value);
    void finish();

    std::mutex mutex;
    Steinberg::IPtr<Steinberg::Vst::IComponentHandler> handler;
    std::vector<Slot> slots;
    // The due slots in the order they were marked; its capacity is reserved for every slot, so
    // marking never allocates.
    std::vector<std::size_t> due;
    int openCalls = 0;
    bool sending = false;
    std::thread::id sender;
    std::size_t inFlight = kNone;
    double inFlightValue = 0.0;
};

} // namespace corvella
