// Replaces the program's global allocation functions and sched_yield (and, without a sanitizer,
// malloc, the aligned allocators and pthread_mutex_lock) to count what a watched thread does.
// Link it into one test program only.
#include "RealtimeWatch.h"

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VASTORA_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define VASTORA_SANITIZED 1
#endif
#endif
#ifdef VASTORA_SANITIZED
constexpr bool kWatchLibc = false;
#else
constexpr bool kWatchLibc = true;
#endif

namespace {

// Initial-exec TLS: readable from malloc before anything else of the program has run.
#define WATCH_TLS thread_local __attribute__((tls_model("initial-exec")))
WATCH_TLS bool watching = false;
WATCH_TLS long allocationCount = 0;
WATCH_TLS long freeCount = 0;
WATCH_TLS long lockCount = 0;
WATCH_TLS long yieldCount = 0;
std::atomic<std::size_t> failFrom{0}; // 0: nothing fails

void* allocate(std::size_t n, std::size_t align, bool nothrow)
{
    const std::size_t limit = failFrom.load(std::memory_order_relaxed);
    void* p = nullptr;
    if (limit == 0 || n < limit)
        p = align ? std::aligned_alloc(align, (n + align - 1) / align * align) : std::malloc(n ? n : 1);
    if (!p && !nothrow)
        throw std::bad_alloc();
    // malloc and aligned_alloc count themselves when they are watched.
    if (watching && !kWatchLibc)
        ++allocationCount;
    return p;
}

void release(void* p)
{
    if (watching && !kWatchLibc && p)
        ++freeCount;
    std::free(p);
}

} // namespace

void* operator new(std::size_t n) { return allocate(n, 0, false); }
void* operator new[](std::size_t n) { return allocate(n, 0, false); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return allocate(n, 0, true); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return allocate(n, 0, true); }
void* operator new(std::size_t n, std::align_val_t a) { return allocate(n, std::size_t(a), false); }
void* operator new[](std::size_t n, std::align_val_t a) { return allocate(n, std::size_t(a), false); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept { return allocate(n, std::size_t(a), true); }
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept { return allocate(n, std::size_t(a), true); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete(void* p, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { release(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { release(p); }

#ifndef VASTORA_SANITIZED
// glibc's own entry points, so the hooks need no lookup (and dlsym's own allocations no hook).
extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void __libc_free(void*);
extern "C" void* __libc_memalign(std::size_t, std::size_t);

extern "C" void* malloc(std::size_t n)
{
    allocationCount += watching;
    return __libc_malloc(n);
}
extern "C" void* calloc(std::size_t n, std::size_t size)
{
    allocationCount += watching;
    return __libc_calloc(n, size);
}
extern "C" void* realloc(void* p, std::size_t n)
{
    allocationCount += watching;
    return __libc_realloc(p, n);
}
extern "C" void* aligned_alloc(std::size_t align, std::size_t n)
{
    allocationCount += watching;
    return __libc_memalign(align, n);
}
extern "C" void* memalign(std::size_t align, std::size_t n)
{
    allocationCount += watching;
    return __libc_memalign(align, n);
}
extern "C" int posix_memalign(void** p, std::size_t align, std::size_t n)
{
    allocationCount += watching;
    if (align < sizeof(void*) || (align & (align - 1)) != 0)
        return EINVAL;
    void* q = __libc_memalign(align, n);
    if (!q)
        return ENOMEM;
    *p = q;
    return 0;
}
extern "C" void free(void* p)
{
    freeCount += watching && p;
    __libc_free(p);
}

extern "C" int pthread_mutex_lock(pthread_mutex_t* mutex)
{
    using Lock = int (*)(pthread_mutex_t*);
    static std::atomic<Lock> next{nullptr};
    Lock lock = next.load(std::memory_order_acquire);
    if (!lock)
    {
        lock = reinterpret_cast<Lock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
        next.store(lock, std::memory_order_release);
    }
    lockCount += watching;
    return lock(mutex);
}
#endif

// A thread that yields is waiting for another (std::this_thread::yield ends up here). The
// sanitizer runtimes leave sched_yield alone, so it is watched in every build.
extern "C" int __sched_yield();
extern "C" int sched_yield() noexcept
{
    yieldCount += watching;
    return __sched_yield();
}

namespace corvella::testing {

RealtimeWatch::RealtimeWatch()
{
    allocationCount = freeCount = lockCount = yieldCount = 0;
    watching = true;
}
RealtimeWatch::~RealtimeWatch() { watching = false; }
long RealtimeWatch::allocations() const { return allocationCount; }
long RealtimeWatch::frees() const { return freeCount; }
long RealtimeWatch::locks() const { return lockCount; }
long RealtimeWatch::yields() const { return yieldCount; }
bool RealtimeWatch::watchesLibc() { return kWatchLibc; }

FailingLargeAllocations::FailingLargeAllocations(std::size_t bytes) { failFrom = bytes; }
FailingLargeAllocations::~FailingLargeAllocations() { failFrom = 0; }

} // namespace corvella::testing
