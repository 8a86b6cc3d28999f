#pragma once

#if defined(__SSE__) || defined(_M_X64)
#include <xmmintrin.h>
#endif

namespace corvella {

// Sets flush-to-zero and denormals-are-zero for the lifetime of the object and restores the
// caller's mode afterwards. A decaying feedback network otherwise spends its tail in subnormal
// numbers, which cost many times more per operation on x86.
class ScopedFlushDenormals
{
public:
#if defined(__SSE__) || defined(_M_X64)
    ScopedFlushDenormals() : saved(_mm_getcsr()) { _mm_setcsr(saved | kFlushToZero | kDenormalsAreZero); }
    ~ScopedFlushDenormals() { _mm_setcsr(saved); }

private:
    static constexpr unsigned kFlushToZero = 0x8000;
    static constexpr unsigned kDenormalsAreZero = 0x0040;
    unsigned saved;
#else
    ScopedFlushDenormals() = default;
#endif

public:
    ScopedFlushDenormals(const ScopedFlushDenormals&) = delete;
    ScopedFlushDenormals& operator=(const ScopedFlushDenormals&) = delete;
};

} // namespace corvella
