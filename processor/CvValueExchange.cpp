#include "processor/CvValueExchange.h"

#include <cmath>

namespace corvella {

CvValueExchange::CvValueExchange(const std::vector<double>& initial)
    : count(initial.size()),
      log(1 + 2 * initial.size()),
      block(1 + initial.size()),
      publishedCopy(1 + initial.size()),
      loggedCopy(1 + 2 * initial.size()),
      logCopy(1 + 2 * initial.size())
{
    block.write([&](auto put) {
        for (std::size_t i = 0; i < count; ++i)
            put(blockValue(i), CvSeqlock::toWord(initial[i]));
    });
}

void CvValueExchange::load(const double* values)
{
    const std::uint64_t number = ++loads;
    log.write([&](auto put) {
        put(0, number);
        for (std::size_t i = 0; i < count; ++i)
            if (!std::isnan(values[i]))
            {
                put(logValue(i), CvSeqlock::toWord(values[i]));
                put(logLoad(i), number);
            }
    });
}

void CvValueExchange::latest(double* values) const
{
    std::vector<std::uint64_t>& published = publishedCopy;
    std::vector<std::uint64_t>& logged = loggedCopy;
    auto copyInto = [](std::vector<std::uint64_t>& target) {
        return [&target](auto get) {
            for (std::size_t i = 0; i < target.size(); ++i)
                target[i] = get(i);
        };
    };
    // Either order gives whole loads: a load the audio thread took after the log was copied is
    // in the block it published, with the same values.
    block.read(copyInto(published));
    log.read(copyInto(logged));
    for (std::size_t i = 0; i < count; ++i)
        values[i] = CvSeqlock::toDouble(logged[logLoad(i)] > published[0] ? logged[logValue(i)]
                                                                          : published[blockValue(i)]);
}

double CvValueExchange::latest(std::size_t index) const
{
    // Hosts may ask for this on the audio thread, which must not wait for a load to be written.
    // An overlapped copy still yields a value the parameter had: either the one the load brings
    // or the one before it.
    constexpr int kAttempts = 4;
    std::uint64_t taken = 0, published = 0, loaded = 0, loadedBy = 0;
    block.readWaitFree(
        [&](auto get) {
            taken = get(0);
            published = get(blockValue(index));
        },
        kAttempts);
    log.readWaitFree(
        [&](auto get) {
            loaded = get(logValue(index));
            loadedBy = get(logLoad(index));
        },
        kAttempts);
    return CvSeqlock::toDouble(loadedBy > taken ? loaded : published);
}

bool CvValueExchange::takeLoad(double* values)
{
    if (log.version() == seenLogVersion)
        return false;
    std::uint32_t version = 0;
    const bool whole = log.tryRead(
        [this](auto get) {
            for (std::size_t i = 0; i < logCopy.size(); ++i)
                logCopy[i] = get(i);
        },
        &version);
    if (!whole)
        return false;
    seenLogVersion = version;
    if (logCopy[0] == takenLoad)
        return false;
    for (std::size_t i = 0; i < count; ++i)
        if (logCopy[logLoad(i)] > takenLoad)
            values[i] = CvSeqlock::toDouble(logCopy[logValue(i)]);
    takenLoad = logCopy[0];
    return true;
}

void CvValueExchange::publish(const double* values)
{
    block.write([&](auto put) {
        put(0, takenLoad);
        for (std::size_t i = 0; i < count; ++i)
            put(blockValue(i), CvSeqlock::toWord(values[i]));
    });
}

} // namespace corvella
