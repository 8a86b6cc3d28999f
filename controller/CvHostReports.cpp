#include "controller/CvHostReports.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace corvella {

using namespace Steinberg;
using namespace Steinberg::Vst;

CvHostReports::CvHostReports(const std::vector<ParamID>& ids)
{
    slots.reserve(ids.size());
    for (ParamID id : ids)
        slots.push_back(Slot{id});
    due.reserve(ids.size());
}

CvHostReports::Call::Call(CvHostReports& reports) : reports(reports)
{
    const std::lock_guard<std::mutex> lock(reports.mutex);
    ++reports.openCalls;
}

CvHostReports::Call::~Call() { reports.finish(); }

bool CvHostReports::same(double a, double b) { return std::fabs(a - b) <= 1e-12; }

std::size_t CvHostReports::find(ParamID id) const
{
    for (std::size_t k = 0; k < slots.size(); ++k)
        if (slots[k].id == id)
            return k;
    return kNone;
}

void CvHostReports::markDueLocked(std::size_t slot)
{
    // Without a handler no host is listening; with one, nothing is due once it goes.
    if (handler && !slots[slot].withheld && std::find(due.begin(), due.end(), slot) == due.end())
        due.push_back(slot);
}

void CvHostReports::toldLocked(std::size_t slot, double value)
{
    slots[slot].heard = value;
    slots[slot].known = true;
    // Replaced while it went out: the host must hear the newer value after it.
    if (!same(slots[slot].value, value))
        markDueLocked(slot);
}

void CvHostReports::clearDueLocked(std::size_t slot) { due.erase(std::remove(due.begin(), due.end(), slot), due.end()); }

void CvHostReports::setHandler(IComponentHandler* newHandler)
{
    // Swapped, so that neither handler is referenced or released under the lock.
    IPtr<IComponentHandler> other(newHandler);
    const std::lock_guard<std::mutex> lock(mutex);
    std::swap(handler, other);
    if (!handler)
        due.clear();
}

void CvHostReports::set(ParamID id, double value, bool heard)
{
    const std::lock_guard<std::mutex> lock(mutex);
    const std::size_t slot = find(id);
    if (slot == kNone)
        return;
    slots[slot].value = value;
    if (!heard)
        return;
    slots[slot].heard = value;
    slots[slot].known = true;
    clearDueLocked(slot);
}

void CvHostReports::markDue(ParamID id)
{
    const std::lock_guard<std::mutex> lock(mutex);
    const std::size_t slot = find(id);
    if (slot != kNone)
        markDueLocked(slot);
}

void CvHostReports::withhold(ParamID id, bool withheld)
{
    const std::lock_guard<std::mutex> lock(mutex);
    const std::size_t slot = find(id);
    if (slot == kNone)
        return;
    slots[slot].withheld = withheld;
    if (withheld)
        clearDueLocked(slot);
}

bool CvHostReports::heardOther(ParamID id, double value)
{
    const std::lock_guard<std::mutex> lock(mutex);
    const std::size_t slot = find(id);
    return slot != kNone && slots[slot].known && !same(slots[slot].heard, value);
}

bool CvHostReports::isEcho(ParamID id, double value)
{
    const std::lock_guard<std::mutex> lock(mutex);
    return inFlight != kNone && sender == std::this_thread::get_id() && slots[inFlight].id == id &&
           static_cast<float>(value) == static_cast<float>(inFlightValue);
}

tresult CvHostReports::perform(ParamID id, double value)
{
    const Call call(*this);
    IPtr<IComponentHandler> to;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        to = handler;
    }
    if (!to)
        return kResultFalse;
    const tresult result = to->performEdit(id, value);
    to = nullptr;
    const std::lock_guard<std::mutex> lock(mutex);
    const std::size_t slot = find(id);
    if (slot != kNone)
        toldLocked(slot, value);
    return result;
}

void CvHostReports::finish()
{
    std::unique_lock<std::mutex> lock(mutex);
    --openCalls;
    if (sending)
        return;
    sending = true;
    sender = std::this_thread::get_id();
    for (bool sentOne = false; !due.empty() && !(sentOne && openCalls > 0); sentOne = true)
    {
        IPtr<IComponentHandler> to = handler;
        const std::size_t slot = due.front();
        due.erase(due.begin());
        const ParamID id = slots[slot].id;
        const double value = slots[slot].value;
        inFlight = slot;
        inFlightValue = value;
        lock.unlock();
        to->performEdit(id, value);
        to = nullptr;
        lock.lock();
        inFlight = kNone;
        toldLocked(slot, value);
    }
    sending = false;
}

} // namespace corvella
