// Numbers as C's printf prints them ("%d", "%f", "%.5f") on every system, in any locale
// and with any C++ library, written into a caller's buffer. Each function returns the end
// of what it wrote.
#ifndef KML_NUMBER_TEXT_H
#define KML_NUMBER_TEXT_H

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

// Room for any double in fixed notation: sign, 309 integer digits, point, the decimals.
constexpr int MaxFixedLength(int decimals)
{
    return 1 + 309 + 1 + decimals;
}

// "%d". The buffer always has room; the check keeps a mistake from writing past it.
inline char* PutInt(char* out, char* end, long value)
{
    const std::to_chars_result result = std::to_chars(out, end, value);
    return result.ec == std::errc() ? result.ptr : out;
}

// "%.Nf" with N = `decimals` (1 to 9) of a value that a float holds exactly and that is
// below 2^64 in magnitude, as every coordinate is: computed exactly from its bits, in
// integers, and rounded half to even as printf rounds. Returns null for any other value.
// Much faster than printf where the C library formats through a software long double
// (WebAssembly).
inline char* PutFloatFixed(char* out, double value, int decimals)
{
    const auto single = static_cast<float>(value);
    if (static_cast<double>(single) != value || !(std::fabs(value) < 18446744073709551616.0)) {
        return nullptr;
    }
    // The float's bits: magnitude = mantissa * 2^shift, with a mantissa of 24 bits at most.
    std::uint32_t bits;
    std::memcpy(&bits, &single, sizeof bits);
    const std::uint32_t biased = bits >> 23 & 0xFF;
    const std::uint64_t mantissa = (bits & 0x7FFFFF) | (biased != 0 ? 0x800000 : 0);
    const int shift = (biased != 0 ? static_cast<int>(biased) : 1) - 150;
    std::uint64_t scale = 1;
    for (int k = 0; k < decimals; ++k) {
        scale *= 10;
    }
    std::uint64_t whole = 0;
    std::uint64_t digits = 0;  // the decimals, as an integer below `scale`
    if (shift >= 0) {
        whole = mantissa << shift;
    } else if (shift > -64) {
        const int point = -shift;  // bits after the binary point
        const std::uint64_t below = (std::uint64_t{1} << point) - 1;
        whole = mantissa >> point;
        // Below 2^24 * 10^9 < 2^54: no overflow.
        const std::uint64_t scaled = (mantissa & below) * scale;
        const std::uint64_t half = std::uint64_t{1} << (point - 1);
        const std::uint64_t rest = scaled & below;
        digits = scaled >> point;
        if (rest > half || (rest == half && digits % 2 == 1)) {
            ++digits;
        }
        if (digits == scale) {
            digits = 0;
            ++whole;
        }
    }  // else below 2^-40: all the decimals shown are 0
    if (std::signbit(value)) {
        *out++ = '-';
    }
    const std::to_chars_result integer = std::to_chars(out, out + 20, whole);
    out = integer.ptr;
    *out++ = '.';
    for (int k = decimals - 1; k >= 0; --k, digits /= 10) {
        out[k] = static_cast<char>('0' + digits % 10);
    }
    return out + decimals;
}

// "%.Nf" with N = `decimals`. NaN and infinity are spelled as glibc spells them, by sign
// ("nan", "-nan", "inf", "-inf"): C++ libraries differ there ("-nan(ind)").
inline char* PutFixed(char* out, char* end, double value, int decimals)
{
    if (!std::isfinite(value)) {
        if (std::signbit(value)) {
            *out++ = '-';
        }
        std::memcpy(out, std::isnan(value) ? "nan" : "inf", 3);
        return out + 3;
    }
    if (char* const written = PutFloatFixed(out, value, decimals)) {
        return written;
    }
#if KML_HAVE_TO_CHARS_FIXED
    const std::to_chars_result result = std::to_chars(out, end, value, std::chars_format::fixed, decimals);
    return result.ec == std::errc() ? result.ptr : out;
#else
    // C++ libraries without std::to_chars for a double with a precision (emscripten's, macOS
    // before 13.3): printf itself, in the C locale that the program never leaves.
    const int length = std::snprintf(out, static_cast<std::size_t>(end - out), "%.*f", decimals, value);
    return length > 0 && length < end - out ? out + length : out;
#endif
}

#endif
