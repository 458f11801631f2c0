// Numbers as C's printf prints them ("%d", "%f", "%.5f") on every system, in any locale
// and with any C++ library, written into a caller's buffer. Each function returns the end
// of what it wrote.
#ifndef KML_NUMBER_TEXT_H
#define KML_NUMBER_TEXT_H

#include <array>
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

// "00" to "99".
constexpr std::array<char, 200> kDigitPairs = [] {
    std::array<char, 200> pairs{};
    for (int n = 0; n < 100; ++n) {
        pairs[2 * n] = static_cast<char>('0' + n / 10);
        pairs[2 * n + 1] = static_cast<char>('0' + n % 10);
    }
    return pairs;
}();

// "%d".
inline char* PutInt(char* out, long value)
{
    return std::to_chars(out, out + 24, value).ptr;
}

// The digits of mantissa * 2^shift (mantissa below 2^24, shift at most 104).
inline char* PutWhole(char* out, std::uint64_t mantissa, int shift)
{
    if (shift < 40) {
        return std::to_chars(out, out + 20, mantissa << shift).ptr;
    }
    // Beyond 64 bits: decimal digits, the least significant first, doubled `shift` times.
    unsigned char digits[40];
    int size = 0;
    for (; mantissa != 0; mantissa /= 10) {
        digits[size++] = static_cast<unsigned char>(mantissa % 10);
    }
    for (int k = 0; k < shift; ++k) {
        unsigned carry = 0;
        for (int d = 0; d < size; ++d) {
            const unsigned twice = digits[d] * 2u + carry;
            digits[d] = static_cast<unsigned char>(twice % 10);
            carry = twice / 10;
        }
        if (carry != 0) {
            digits[size++] = static_cast<unsigned char>(carry);
        }
    }
    while (size > 0) {
        *out++ = static_cast<char>('0' + digits[--size]);
    }
    return out;
}

// "%.Nf" with N = `decimals` (1 to 9) of a finite value that a float holds exactly, as
// every value kml prints is: computed exactly from its bits, in integers, and rounded half
// to even as printf rounds. Much faster than printf where the C library formats through a
// software long double (WebAssembly).
inline char* PutFloatFixed(char* out, float single, int decimals)
{
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
    if (shift > -64 && shift < 0) {
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
    }  // else a whole number, or below 2^-40: all the decimals shown are 0
    if (std::signbit(single)) {
        *out++ = '-';
    }
    out = shift >= 0 ? PutWhole(out, mantissa, shift) : std::to_chars(out, out + 20, whole).ptr;
    *out++ = '.';
    // Two digits at a time, from the last.
    int k = decimals;
    for (; k >= 2; k -= 2, digits /= 100) {
        std::memcpy(out + k - 2, &kDigitPairs[2 * (digits % 100)], 2);
    }
    if (k == 1) {
        out[0] = static_cast<char>('0' + digits);
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
    if (static_cast<double>(static_cast<float>(value)) == value) {
        return PutFloatFixed(out, static_cast<float>(value), decimals);
    }
    // No value that kml prints: printf itself, in the C locale that the program never leaves.
    const int length = std::snprintf(out, static_cast<std::size_t>(end - out), "%.*f", decimals, value);
    return length > 0 && length < end - out ? out + length : out;
}

#endif
