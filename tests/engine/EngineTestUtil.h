#pragma once

#include "engine/ReverbEngine.h"

#include <array>
#include <cstdint>
#include <random>
#include <vector>

namespace corvella::vastora::testing {

// Twelve plain values by parameter ID, in the units the engine takes.
using PlainValues = std::array<double, 12>;

// The plug-in's default parameter values.
constexpr PlainValues kDefaults = {25, 75, 10000, 9.7, 40, 60, 9, 1, 0, 0, 25, 1.0};

template <typename Engine>
void setAll(Engine& e, const PlainValues& v)
{
    for (std::uint32_t id = 0; id < v.size(); ++id)
        e.setParameter(id, v[id]);
}

// Enough empty blocks for every smoothed control to reach its fixed point.
template <typename Engine>
void settle(Engine& e, int blocks = 2000)
{
    for (int i = 0; i < blocks; ++i)
        e.process(nullptr, nullptr, nullptr, nullptr, 0);
}

struct Stereo
{
    std::vector<float> l, r;
    explicit Stereo(std::size_t n = 0) : l(n, 0.0f), r(n, 0.0f) {}
    std::size_t size() const { return l.size(); }
};

inline Stereo noise(std::size_t n, unsigned seed, float amplitude = 1.0f)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-amplitude, amplitude);
    Stereo s(n);
    for (std::size_t i = 0; i < n; ++i)
    {
        s.l[i] = dist(rng);
        s.r[i] = dist(rng);
    }
    return s;
}

inline Stereo impulse(std::size_t n, float left = 1.0f, float right = 1.0f)
{
    Stereo s(n);
    s.l[0] = left;
    s.r[0] = right;
    return s;
}

// Renders `in` in blocks whose sizes come from `blockSize(k)` for block k.
template <typename Engine, typename BlockSizes>
Stereo render(Engine& e, const Stereo& in, BlockSizes blockSize)
{
    Stereo out(in.size());
    std::size_t done = 0;
    for (int k = 0; done < in.size(); ++k)
    {
        std::size_t n = static_cast<std::size_t>(blockSize(k));
        if (n > in.size() - done)
            n = in.size() - done;
        e.process(in.l.data() + done, in.r.data() + done, out.l.data() + done, out.r.data() + done,
                  static_cast<std::int32_t>(n));
        done += n;
    }
    return out;
}

template <typename Engine>
Stereo render(Engine& e, const Stereo& in, int blockSize = 256)
{
    return render(e, in, [blockSize](int) { return blockSize; });
}

// A prepared engine with the given values, smoothed controls settled and history cleared.
template <typename Engine = ReverbEngine>
Engine settledEngine(const PlainValues& v, double rate = 44100.0)
{
    Engine e;
    e.prepare(rate, 512);
    setAll(e, v);
    settle(e);
    e.reset();
    return e;
}

inline std::size_t firstAbove(const std::vector<float>& x, float threshold, std::size_t from = 0)
{
    for (std::size_t i = from; i < x.size(); ++i)
        if (x[i] > threshold || x[i] < -threshold)
            return i;
    return x.size();
}

} // namespace corvella::vastora::testing
