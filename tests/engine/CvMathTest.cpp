#include "engine/CvMath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

namespace cvmath = corvella::cvmath;

namespace {

// The reference is the C library in long double: 11 bits beyond the results under test, so its own
// error is far below the tenths of an ulp these bounds resolve.
static_assert(std::numeric_limits<long double>::digits >= 64, "the reference needs extended precision");

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kTiny = std::numeric_limits<double>::denorm_min();
constexpr std::uint64_t kFirstNormal = 0x0010000000000000ULL, kInfBits = 0x7ff0000000000000ULL;

enum Fn { Exp, Log, Pow, Sin };

double evaluate(Fn f, double x, double y)
{
    return f == Exp ? cvmath::exp(x) : f == Log ? cvmath::log(x) : f == Pow ? cvmath::pow(x, y) : cvmath::sin(float(x));
}

long double reference(Fn f, long double x, long double y)
{
    return f == Exp ? std::exp(x) : f == Log ? std::log(x) : std::pow(x, y);
}

// Distance from the exact value in units of the last place of the exact value's binade.
double ulpError(double got, long double exact)
{
    int e = 0;
    std::frexp(exact, &e);
    const long double ulp = std::max(std::ldexp(1.0L, e - 53), static_cast<long double>(kTiny));
    return static_cast<double>(std::fabs(got - exact) / ulp);
}

template <class To, class From>
To bitCast(From v)
{
    To to;
    std::memcpy(&to, &v, sizeof to);
    return to;
}

struct Sampler
{
    std::mt19937_64 rng{20240611};
    double uniform(double lo, double hi) { return lo + (hi - lo) * static_cast<double>(rng() >> 11) * 0x1p-53; }
    double withBits(std::uint64_t lo, std::uint64_t hi) { return bitCast<double>(lo + rng() % (hi - lo)); }
};

} // namespace

TEST(CvMath, StaysBelowOneUlpOverDenseSamples)
{
    using Draw = std::pair<double, double> (*)(Sampler&);
    const struct
    {
        const char* what;
        Fn fn;
        Draw draw;
    } cases[] = {
        {"exp over [-745, 709]", Exp, [](Sampler& s) { return std::pair{s.uniform(-745.0, 709.0), 0.0}; }},
        {"exp near 0", Exp, [](Sampler& s) { return std::pair{std::ldexp(s.uniform(-1.0, 1.0), -int(s.rng() % 60)), 0.0}; }},
        {"log of normals", Log, [](Sampler& s) { return std::pair{s.withBits(kFirstNormal, kInfBits), 0.0}; }},
        {"log of subnormals", Log, [](Sampler& s) { return std::pair{s.withBits(1, kFirstNormal), 0.0}; }},
        {"log near 1", Log, [](Sampler& s) { return std::pair{s.uniform(0.5, 2.0), 0.0}; }},
        {"pow(10, [-40, 40])", Pow, [](Sampler& s) { return std::pair{10.0, s.uniform(-40.0, 40.0)}; }},
        {"pow([1, 1e4], [0, 1])", Pow, [](Sampler& s) { return std::pair{s.uniform(1.0, 1e4), s.uniform(0.0, 1.0)}; }},
        {"pow with normal results", Pow, [](Sampler& s)
         {
             const double x = s.withBits(kFirstNormal, kInfBits);
             return std::pair{x, s.uniform(-708.0, 709.0) / std::log(x)};
         }},
    };
    for (const auto& c : cases)
    {
        Sampler sampler;
        for (int i = 0; i < 200000; ++i)
        {
            const auto [x, y] = c.draw(sampler);
            const double err = ulpError(evaluate(c.fn, x, y), reference(c.fn, x, y));
            ASSERT_LT(err, 1.0) << c.what << " at x=" << x << " y=" << y;
        }
    }
}

TEST(CvMath, SinMatchesTheCorrectlyRoundedFloatNearlyAlways)
{
    const struct
    {
        float from, to;
        std::uint32_t stride; // in float bit patterns
    } ranges[] = {{0x1p-12f, 1e4f, 401}, {1e4f, 0x1p20f, 67}};
    for (const auto& range : ranges)
    {
        long samples = 0, misrounded = 0;
        for (auto b = bitCast<std::uint32_t>(range.from); b < bitCast<std::uint32_t>(range.to); b += range.stride)
        {
            const auto x = bitCast<float>(b);
            for (const float v : {x, -x})
            {
                const auto exact = static_cast<float>(std::sin(static_cast<long double>(v)));
                const float got = cvmath::sin(v);
                ++samples;
                misrounded += got != exact;
                ASSERT_TRUE(got == exact || std::nextafter(got, exact) == exact) << "more than 1 ulp off at " << v;
            }
        }
        // An error near 2^-53 relative misrounds only where the exact sine lies that close to a
        // halfway point between floats: about one argument in 2^28.
        EXPECT_LE(misrounded, samples >> 20) << "from " << range.from << " over " << samples;
    }
}

TEST(CvMath, SpecialValuesGiveTheIeeeResults)
{
    const struct
    {
        Fn fn;
        double x, y, expected;
    } cases[] = {
        {Exp, kNaN, 0, kNaN}, {Exp, kInf, 0, kInf}, {Exp, -kInf, 0, 0.0}, {Exp, -0.0, 0, 1.0}, {Exp, 709.79, 0, kInf},
        {Exp, 1e300, 0, kInf}, {Exp, -745.2, 0, 0.0}, {Exp, -745.13, 0, kTiny}, {Exp, -1e300, 0, 0.0},
        {Log, kNaN, 0, kNaN}, {Log, -1.0, 0, kNaN}, {Log, -kInf, 0, kNaN}, {Log, 0.0, 0, -kInf}, {Log, -0.0, 0, -kInf},
        {Log, kInf, 0, kInf}, {Log, 1.0, 0, 0.0},
        {Pow, kNaN, 0.0, 1.0}, {Pow, 1.0, kNaN, 1.0}, {Pow, 2.0, kNaN, kNaN}, {Pow, kNaN, 2.0, kNaN},
        {Pow, 0.0, 3.0, 0.0}, {Pow, -0.0, 3.0, -0.0}, {Pow, -0.0, 2.0, 0.0}, {Pow, -0.0, 0.5, 0.0},
        {Pow, 0.0, -1.0, kInf}, {Pow, -0.0, -3.0, -kInf}, {Pow, -0.0, -2.0, kInf}, {Pow, -0.0, -0x1p60, kInf},
        {Pow, kInf, 2.0, kInf}, {Pow, kInf, -2.0, 0.0}, {Pow, 0.5, kInf, 0.0}, {Pow, 0.5, -kInf, kInf},
        {Pow, 2.0, kInf, kInf}, {Pow, 2.0, -kInf, 0.0}, {Pow, -2.0, 0.5, kNaN}, {Pow, -2.0, 2.0, kNaN},
        {Pow, 2.0, 1024.0, kInf}, {Pow, 2.0, -1074.0, kTiny}, {Pow, 2.0, -1076.0, 0.0}, {Pow, 1e300, 1e300, kInf},
        {Pow, 10.0, 2.0, 100.0}, {Pow, 2.0, 0.5, std::sqrt(2.0)},
        {Sin, 0.0, 0, 0.0}, {Sin, -0.0, 0, -0.0}, {Sin, 1e-30f, 0, 1e-30f}, {Sin, -0x1p-13f, 0, -0x1p-13f},
        {Sin, kNaN, 0, kNaN}, {Sin, kInf, 0, kNaN}, {Sin, -kInf, 0, kNaN},
    };
    for (const auto& c : cases)
    {
        const double got = evaluate(c.fn, c.x, c.y);
        const bool same = std::isnan(c.expected) ? std::isnan(got) : got == c.expected && std::signbit(got) == std::signbit(c.expected);
        EXPECT_TRUE(same) << "function " << c.fn << " of (" << c.x << ", " << c.y << ") gave " << got;
    }
}
