// Numeric conventions of the player: arithmetic in x87 extended precision (long double on
// x86-64) and float-to-integer conversion that rounds to nearest with ties to even.
#pragma once
#include <cmath>
#include <cstdint>

namespace core {

using Extended = long double;

// Rounding uses rint, not nearbyint: both round in the current mode (to nearest, ties to even,
// never changed here), but nearbyint saves and restores the floating-point environment on
// every call to keep the inexact flag clear, which nothing here reads; that made it the most
// expensive instruction of the path effect.
//
// Round to nearest, ties to even, into int32. Values the x87 store cannot represent (NaN,
// infinities, anything outside the int32 range) give the "integer indefinite" 0x80000000,
// which is what the original processor produced with exceptions masked.
inline int32_t RoundToInt32(Extended x) {
    if (!(x >= -2147483648.0L && x <= 2147483647.0L)) {
        Extended r = std::rint(x);  // values just past the range may still round into it
        if (!(r >= -2147483648.0L && r <= 2147483647.0L)) return INT32_MIN;
        return int32_t(r);
    }
    return int32_t(std::rint(x));  // default rounding mode is to nearest, ties to even
}

// Sine and cosine as the x87 computes them (fsin, fcos), on every platform: the maths
// libraries' sinl and cosl differ in the last bits (glibc reduces the argument exactly,
// MinGW-w64 uses the instruction), and those bits reach generated models and textures.
// The instruction leaves finite arguments of magnitude 2^63 and more unreduced: they give 0
// here; infinities and NaN give NaN. Anything but x86 uses the library, whose results may
// differ in the last bit.
inline Extended Sin(Extended x) {
    if (!(std::fabs(x) < 9223372036854775808.0L)) return std::isfinite(x) ? 0.0L : NAN;
#if defined(__i386__) || defined(__x86_64__)
    __asm__("fsin" : "+t"(x));
    return x;
#else
    return std::sin(x);
#endif
}

inline Extended Cos(Extended x) {
    if (!(std::fabs(x) < 9223372036854775808.0L)) return std::isfinite(x) ? 0.0L : NAN;
#if defined(__i386__) || defined(__x86_64__)
    __asm__("fcos" : "+t"(x));
    return x;
#else
    return std::cos(x);
#endif
}

// Same for 64-bit results.
inline int64_t RoundToInt64(Extended x) {
    if (!(x >= -9223372036854775808.0L && x < 9223372036854775808.0L)) return INT64_MIN;
    return int64_t(std::rint(x));
}

}  // namespace core
