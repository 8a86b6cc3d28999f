#pragma once

#include <cstddef>

namespace corvella::testing {

// Counts the heap allocations, frees, mutex locks and yields of the calling thread while it lives.
// Only in test programs that link RealtimeWatch.cpp, which replaces the global allocation
// functions and sched_yield and, outside sanitizer builds (whose runtimes own them), malloc, the
// aligned allocators and pthread_mutex_lock too.
class RealtimeWatch
{
public:
    RealtimeWatch();
    ~RealtimeWatch();
    RealtimeWatch(const RealtimeWatch&) = delete;
    RealtimeWatch& operator=(const RealtimeWatch&) = delete;

    long allocations() const;
    long frees() const;
    long locks() const;
    long yields() const; // sched_yield calls: waiting for another thread
    // Whether malloc and the locks are watched as well as operator new and delete.
    static bool watchesLibc();
};

// While it lives, operator new fails for requests of at least `bytes`, as on a machine out of
// memory: the throwing forms throw std::bad_alloc, the nothrow forms give null.
class FailingLargeAllocations
{
public:
    explicit FailingLargeAllocations(std::size_t bytes);
    ~FailingLargeAllocations();
};

} // namespace corvella::testing
