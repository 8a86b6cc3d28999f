#pragma once

#include "processor/CvSeqlock.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvella {

// Hands a processor's plain values between the thread that loads and saves states (the host's
// main thread) and the audio thread, so that a state load reaches the audio thread whole: every
// block has either all of a load's values or none of them. The audio thread never locks, waits
// or allocates here.
//
// Loads are numbered. The load log holds, for each value, the value last loaded and the number
// of the load that brought it; the audio thread takes every value newer than the last load it
// took. After a block that changed anything it publishes its values together with that load's
// number: saving reads those, with the values of loads the audio thread has not taken yet laid
// over them.
class CvValueExchange
{
public:
    explicit CvValueExchange(const std::vector<double>& initial);

    // Main thread, one caller at a time: publishes one load of values (one per value). A NaN is
    // no part of it: that value keeps whatever it has when the audio thread takes the load.
    void load(const double* values);

    // Main thread, one caller at a time: the values as the host last set them, into values
    // (one per value). Allocates nothing.
    void latest(double* values) const;
    // Any thread, wait-free and without allocating: value index as the host last set it. While a
    // load is being written it may still give the value the load replaces.
    double latest(std::size_t index) const;

    // Audio thread: takes the newest load into values (as a whole; one that is being written
    // just now is taken at a later block). True when a load was taken.
    bool takeLoad(double* values);
    // Audio thread: makes values what latest() reports.
    void publish(const double* values);

private:
    // Log: [0] newest load number, then per value i: [1 + 2i] value, [2 + 2i] its load number.
    static std::size_t logValue(std::size_t i) { return 1 + 2 * i; }
    static std::size_t logLoad(std::size_t i) { return 2 + 2 * i; }
    // Published block: [0] number of the last load taken, [1 + i] value i.
    static std::size_t blockValue(std::size_t i) { return 1 + i; }

    std::size_t count;
    CvSeqlock log;
    CvSeqlock block;
    std::uint64_t loads = 0; // loads published; the main thread's
    // The main thread's copies for latest(), sized once so that saving needs no memory.
    mutable std::vector<std::uint64_t> publishedCopy;
    mutable std::vector<std::uint64_t> loggedCopy;

    // The audio thread's.
    std::uint64_t takenLoad = 0;
    std::uint32_t seenLogVersion = 0;
    std::vector<std::uint64_t> logCopy;
};

} // namespace corvella
