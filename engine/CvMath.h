#pragma once

// Elementary functions that give the same bits on every platform and compiler we build with.
//
// The C libraries we ship against disagree in the last bit for some arguments (and one of them
// has a slow single-precision sine), so audio rendered on one platform would not match the other.
// Everything here is built from IEEE +, -, *, / in round-to-nearest, comparisons and bit copies,
// which every conforming compiler evaluates identically as long as nothing contracts a*b+c into a
// fused multiply-add; the build forbids contraction and fast-math for that reason. No libm call.
//
// Accuracy against the correctly rounded result (measured by the tests):
//   sin   float argument, evaluated in double: relative error near 2^-53 for |x| <= 2^20, so the
//         float result is the correctly rounded one except on rare near-ties (then 1 ulp off). The
//         absolute error grows like |x| * 2^-53 beyond 2^20; |x| >= 2^50 returns 0, inf and NaN
//         return NaN.
//   exp   below 1 ulp over its whole range; IEEE results for NaN, +-inf, overflow and underflow.
//   log   below 1 ulp for every positive double, normal or subnormal; log(+-0) = -inf,
//         log(+inf) = +inf, negative arguments and NaN give NaN.
//   pow   below 1 ulp for x > 0 whenever the result is a normal double (the logarithm is carried
//         in double-double, so the error does not grow with |y * log x|). Zero, infinite and NaN
//         operands follow IEEE pow. Negative finite bases and -inf are outside the domain and
//         give NaN, even for integer exponents.

#include <cstdint>
#include <cstring>
#include <limits>

namespace corvella::cvmath {

namespace detail {

inline std::uint64_t bitsOf(double v)
{
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

inline double fromBits(std::uint64_t b)
{
    double v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}

inline double absOf(double v) { return fromBits(bitsOf(v) & 0x7fffffffffffffffULL); }

inline double powerOfTwo(int e) { return fromBits(static_cast<std::uint64_t>(e + 1023) << 52); }

// Adding and removing 1.5 * 2^52 rounds to the nearest integer (ties to even) for |v| < 2^51
// without a library call, and leaves the integer's low bits in the sum's mantissa.
constexpr double kRoundingShift = 0x1.8p52;

// A value carried as an unevaluated sum hi + lo with |lo| <= ulp(hi) / 2.
struct Wide
{
    double hi;
    double lo;
};

inline Wide twoSum(double a, double b)
{
    const double s = a + b;
    const double bv = s - a;
    return {s, (a - (s - bv)) + (b - bv)};
}

// Exact when |a| >= |b|.
inline Wide fastTwoSum(double a, double b)
{
    const double s = a + b;
    return {s, b - (s - a)};
}

// Exact product without a fused multiply-add (Dekker's split into 26-bit halves).
inline Wide twoProduct(double a, double b)
{
    constexpr double kSplitter = 134217729.0; // 2^27 + 1
    const double ca = kSplitter * a;
    const double ah = ca - (ca - a);
    const double al = a - ah;
    const double cb = kSplitter * b;
    const double bh = cb - (cb - b);
    const double bl = b - bh;
    const double p = a * b;
    return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

// ln 2 split so that k * kLn2Hi is exact for |k| < 2^11.
constexpr double kLn2Hi = 0x1.62e42fefa3800p-1;
constexpr double kLn2Lo = 0x1.ef35793c76730p-45;
constexpr double kInvLn2 = 0x1.71547652b82fep+0;
constexpr double kSqrt2 = 0x1.6a09e667f3bcdp+0;

// Natural logarithm of a positive finite x as a double-double, relative error below 2^-64.
// x = 2^k * m with m in (sqrt(1/2), sqrt(2)]; log m = 2 atanh(s) with s = (m - 1) / (m + 1).
inline Wide logWide(double x)
{
    int k = 0;
    std::uint64_t b = bitsOf(x);
    if (b < 0x0010000000000000ULL) // subnormal: scale into the normal range first
    {
        b = bitsOf(x * 0x1p54);
        k = -54;
    }
    k += static_cast<int>(b >> 52) - 1023;
    double m = fromBits((b & 0x000fffffffffffffULL) | 0x3ff0000000000000ULL);
    if (m > kSqrt2)
    {
        m *= 0.5;
        ++k;
    }
    const double f = m - 1.0; // exact
    const Wide u = fastTwoSum(2.0, f);
    const double sHi = f / u.hi;
    const Wide q = twoProduct(sHi, u.hi);
    const double sLo = (((f - q.hi) - q.lo) - sHi * u.lo) / u.hi;

    // 2s + (2/3) s^3 + s^5 R(s^2): the cubic term is up to 1% of the result, so it is formed in
    // double-double; the rest is small enough for plain double.
    const double z = sHi * sHi;
    const Wide sq = twoProduct(sHi, sHi);
    Wide cube = twoProduct(sHi, sq.hi);
    cube.lo += sHi * sq.lo + 3.0 * z * sLo;
    constexpr double kTwoThirdsHi = 0x1.5555555555555p-1;
    constexpr double kTwoThirdsLo = 0x1.5555555555555p-55;
    Wide third = twoProduct(kTwoThirdsHi, cube.hi);
    third.lo += kTwoThirdsHi * cube.lo + kTwoThirdsLo * cube.hi;
    // Near-minimax fit of (2 atanh(s) - 2s - (2/3) s^3) / s^5 in z on [0, (3 - 2 sqrt 2)^2].
    const double tail =
        0x1.999999999999ap-2 +
        z * (0x1.2492492492521p-2 +
             z * (0x1.c71c71c6eaa10p-3 +
                  z * (0x1.745d177a96056p-3 +
                       z * (0x1.3b1395d2190c1p-3 + z * (0x1.1118c7e4b0917p-3 + z * (0x1.df7cc8e5fa539p-4 + z * 0x1.e02e6fff27908p-4))))));
    const double rest = sHi * z * z * tail;

    const double kd = static_cast<double>(k);
    const Wide a = twoSum(2.0 * sHi, third.hi);
    const Wide c = twoSum(kd * kLn2Hi, a.hi);
    const double lo = c.lo + (a.lo + (third.lo + (kd * kLn2Lo + (2.0 * sLo + rest))));
    return fastTwoSum(c.hi, lo);
}

// e^(hi + lo) for |lo| <= ulp(hi), below 1 ulp when the result is normal.
inline double expWide(double hi, double lo)
{
    if (hi != hi)
        return hi + hi;
    if (hi > 709.79) // beyond log(DBL_MAX) + margin; the edge itself overflows naturally below
        return std::numeric_limits<double>::infinity();
    if (hi < -745.2) // below log(2^-1075), which rounds to zero
        return 0.0;
    const double kd = (hi * kInvLn2 + kRoundingShift) - kRoundingShift;
    const int k = static_cast<int>(kd);
    const double a = hi - kd * kLn2Hi; // exact
    const double b = kd * kLn2Lo - lo;
    const double r = a - b;
    const double rLo = (a - r) - b;
    // Near-minimax fit of (e^r - 1 - r - r^2/2) / r^3 on |r| <= ln2 / 2.
    const double cubic =
        0x1.5555555555555p-3 +
        r * (0x1.5555555555556p-5 +
             r * (0x1.1111111111111p-7 +
                  r * (0x1.6c16c16c162d4p-10 +
                       r * (0x1.a01a01a019b2ap-13 +
                            r * (0x1.a01a01a6d889cp-16 +
                                 r * (0x1.71de3a590520ap-19 +
                                      r * (0x1.27e4db646b17ep-22 +
                                           r * (0x1.ae643449fe524p-26 + r * (0x1.1f730349868cep-29 + r * 0x1.61b2b7617544bp-33)))))))));
    const double q = r * r * 0.5 + r * r * r * cubic;
    const Wide one = fastTwoSum(1.0, r);
    const double y = one.hi + (one.lo + (q + rLo * (1.0 + (r + q))));
    if (k > 1023)
        return y * 2.0 * powerOfTwo(1023);
    if (k < -1021) // subnormal result: one rounding, in the last multiplication
        return y * powerOfTwo(k + 1000) * 0x1p-1000;
    return y * powerOfTwo(k);
}

inline bool isOddInteger(double y)
{
    if (!(absOf(y) < 0x1p53))
        return false; // every double this large is even
    const double half = y * 0.5;
    const double n = (y + kRoundingShift) - kRoundingShift;
    const double h = (half + kRoundingShift) - kRoundingShift;
    return n == y && h != half;
}

// pi split so that k * kPiHi is exact for |k| < 2^20.
constexpr double kPiHi = 0x1.921fb54400000p+1;
constexpr double kPiLo = 0x1.0b4611a626331p-33;
constexpr double kInvPi = 0x1.45f306dc9c883p-2;

} // namespace detail

// Sine of a float in radians. Cheap enough for per-sample use: one branch that is never taken for
// ordinary arguments, a two-part reduction by pi and one polynomial.
inline float sin(float x)
{
    const float ax = x < 0.0f ? -x : x;
    if (!(ax >= 0x1p-12f && ax < 0x1p50f))
    {
        if (ax < 0x1p-12f)
            return x; // sin x rounds to x here, and -0 keeps its sign
        return ax == ax && ax < std::numeric_limits<float>::infinity() ? 0.0f : x - x;
    }
    using namespace detail;
    const double xd = x;
    const double shifted = xd * kInvPi + kRoundingShift;
    const double kd = shifted - kRoundingShift;
    const std::uint64_t oddHalfTurn = bitsOf(shifted) << 63; // sin(r + k pi) = (-1)^k sin r
    const double r = (xd - kd * kPiHi) - kd * kPiLo;
    const double z = r * r;
    // Near-minimax fit of (sin r - r) / r^3 in z on |r| <= pi/2, in Estrin's order: a shorter
    // dependency chain than Horner's, which the per-sample callers feel.
    const double z2 = z * z;
    const double z4 = z2 * z2;
    const double p = ((-0x1.5555555555555p-3 + z * 0x1.1111111111107p-7) + z2 * (-0x1.a01a01a018aadp-13 + z * 0x1.71de3a5456716p-19)) +
                     z4 * ((-0x1.ae6455a1d7087p-26 + z * 0x1.6124015b5ee3ap-33) + z2 * (-0x1.ae5138c1216b3p-41 + z * 0x1.89a4866f527ebp-49));
    const double s = r + r * z * p;
    return static_cast<float>(fromBits(bitsOf(s) ^ oddHalfTurn));
}

inline double exp(double x) { return detail::expWide(x, 0.0); }

inline double log(double x)
{
    if (x != x || x < 0.0)
        return std::numeric_limits<double>::quiet_NaN();
    if (x == 0.0)
        return -std::numeric_limits<double>::infinity();
    if (x == std::numeric_limits<double>::infinity())
        return x;
    return detail::logWide(x).hi;
}

inline double pow(double x, double y)
{
    using namespace detail;
    constexpr double kInf = std::numeric_limits<double>::infinity();
    if (y == 0.0 || x == 1.0)
        return 1.0;
    if (x != x || y != y)
        return x + y;
    if (x == 0.0)
    {
        const bool negative = (bitsOf(x) >> 63) != 0 && isOddInteger(y);
        if (y > 0.0)
            return negative ? -0.0 : 0.0;
        return negative ? -kInf : kInf;
    }
    if (x < 0.0)
        return std::numeric_limits<double>::quiet_NaN();
    if (x == kInf)
        return y > 0.0 ? kInf : 0.0;
    if (absOf(y) == kInf)
        return (x > 1.0) == (y > 0.0) ? kInf : 0.0;
    const Wide l = logWide(x);
    const double estimate = y * l.hi;
    if (!(absOf(estimate) < 746.0)) // decided already; also keeps the exact product from overflowing
        return estimate > 0.0 ? kInf : 0.0;
    Wide t = twoProduct(y, l.hi);
    t.lo += y * l.lo;
    const Wide e = fastTwoSum(t.hi, t.lo);
    return expWide(e.hi, e.lo);
}

} // namespace corvella::cvmath
