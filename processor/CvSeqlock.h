#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <thread>

namespace corvella {

// A fixed block of 64-bit words that one writer changes as a whole and any number of readers copy
// without ever holding the writer up. A reader that overlapped a write notices it by the sequence
// number and discards what it copied. The words themselves are atomics, so an overlapped copy is
// merely stale, never undefined behaviour.
class CvSeqlock
{
    // A word or sequence behind a lock inside the atomic would make the audio thread wait.
    static_assert(std::atomic<std::uint64_t>::is_always_lock_free, "64-bit atomics must be lock-free");
    static_assert(std::atomic<std::uint32_t>::is_always_lock_free, "32-bit atomics must be lock-free");

public:
    explicit CvSeqlock(std::size_t words) : data(new std::atomic<std::uint64_t>[words])
    {
        for (std::size_t i = 0; i < words; ++i)
            data[i].store(0, std::memory_order_relaxed);
    }

    // Writer only (one thread at a time). fill(put) calls put(i, word) for the words that change;
    // the others keep theirs. The sequence moves by atomic increments: should two writers ever
    // overlap, their words may mix, but the sequence still ends even and readers go on.
    template <typename Fill>
    void write(Fill fill)
    {
        sequence.fetch_add(1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        fill([this](std::size_t i, std::uint64_t word) { data[i].store(word, std::memory_order_relaxed); });
        sequence.fetch_add(1, std::memory_order_release);
    }

    // One attempt, wait-free: take(get) copies words through get(i). False when a write overlapped
    // the copy; the copy is then to be dropped. On success *version (when given) is the version
    // that was copied.
    template <typename Take>
    bool tryRead(Take take, std::uint32_t* version = nullptr) const
    {
        const std::uint32_t before = sequence.load(std::memory_order_acquire);
        if (before & 1u)
            return false;
        take([this](std::size_t i) { return data[i].load(std::memory_order_relaxed); });
        std::atomic_thread_fence(std::memory_order_acquire);
        if (sequence.load(std::memory_order_relaxed) != before)
            return false;
        if (version)
            *version = before;
        return true;
    }

    // Tries until a copy succeeds: for threads that may wait, never the audio thread.
    template <typename Take>
    void read(Take take) const
    {
        while (!tryRead(take))
            std::this_thread::yield();
    }

    // Wait-free: as read(), but once `attempts` copies overlapped a write, the last copy is taken
    // as it is. Each of its words then holds a value written whole, though not all of them need
    // come from the same write. True when the copy is whole.
    template <typename Take>
    bool readWaitFree(Take take, int attempts) const
    {
        for (int i = 0; i < attempts; ++i)
            if (tryRead(take))
                return true;
        take([this](std::size_t i) { return data[i].load(std::memory_order_acquire); });
        return false;
    }

    // Changes with every write, so a reader can tell cheaply that nothing was written since.
    std::uint32_t version() const { return sequence.load(std::memory_order_acquire); }

    static std::uint64_t toWord(double v)
    {
        std::uint64_t w;
        std::memcpy(&w, &v, sizeof w);
        return w;
    }
    static double toDouble(std::uint64_t w)
    {
        double v;
        std::memcpy(&v, &w, sizeof v);
        return v;
    }

private:
    std::unique_ptr<std::atomic<std::uint64_t>[]> data;
    std::atomic<std::uint32_t> sequence{0};
};

} // namespace corvella
