// Float to integer conversions that are defined for every input.
//
// A plain cast of NaN, an infinity or an out-of-range value to an integer type
// is undefined behaviour in C++. These helpers truncate toward zero, give 0 for
// NaN and saturate at the limits of the target type (0 for negative values
// converted to an unsigned type) -- which is what the conversion instructions
// of 64-bit ARM do, so both CPUs agree.
#pragma once

#include <cstdint>
#include <cstring>

inline uint64_t to_u64(double x)
{
    if (!(x > 0.0)) return 0;                         // NaN, zero, negative
    if (x >= 18446744073709551616.0) return UINT64_MAX;
    return static_cast<uint64_t>(x);
}

inline int64_t to_i64(double x)
{
    if (x != x) return 0;
    if (x >= 9223372036854775808.0) return INT64_MAX;
    if (x < -9223372036854775808.0) return INT64_MIN;
    return static_cast<int64_t>(x);
}

// A float's bits and a float from bits (a copy: defined for every value).
inline uint32_t float_bits(float x)
{
    uint32_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

inline float float_from_bits(uint32_t b)
{
    float x;
    std::memcpy(&x, &b, sizeof x);
    return x;
}

inline int32_t to_i32(double x)
{
    if (x != x) return 0;
    if (x >= 2147483648.0) return INT32_MAX;
    if (x <= -2147483649.0) return INT32_MIN;
    return static_cast<int32_t>(x);
}
