// Numbers as C's printf prints them ("%d", "%f", "%.5f") on every system, in any locale
// and with any C++ library, written into a caller's buffer. Each function returns the end
// of what it wrote.
#ifndef KML_NUMBER_TEXT_H
#define KML_NUMBER_TEXT_H

#include <charconv>
#include <cmath>
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
