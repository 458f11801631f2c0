// How the text that kml reads is written: the byte order marks, white space, and UTF-16
// narrowed to the 8-bit characters that the readers look at. Text dumps are recognised
// and decoded through it, and the head of a file at the KML path is looked at through it.
#ifndef KML_TEXT_ENCODING_H
#define KML_TEXT_ENCODING_H

#include <cstddef>
#include <string>
#include <string_view>

enum class Encoding { Bytes, Utf16LittleEndian, Utf16BigEndian };

// The byte order mark, U+FEFF: as a UTF-16 unit, and in UTF-8.
constexpr unsigned kByteOrderMark = 0xFEFF;
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// White space between the things a text holds, and the line ends among it.
constexpr const char* kWhiteSpace = " \t\r\n";
constexpr const char* kLineEnds = "\r\n";

inline bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

inline bool IsLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

inline bool IsWhiteSpace(char c)
{
    return IsBlank(c) || IsLineEnd(c);
}

// How many bytes a UTF-8 byte order mark takes at the start of `text`: 3, or 0.
inline std::size_t Utf8MarkLength(std::string_view text)
{
    return text.substr(0, kUtf8Mark.size()) == kUtf8Mark ? kUtf8Mark.size() : 0;
}

// The UTF-16 byte order that the byte order mark at the start of `bytes` gives; Bytes
// where there is none.
inline Encoding Utf16MarkOf(std::string_view bytes)
{
    return bytes.substr(0, 2) == "\xFF\xFE" ? Encoding::Utf16LittleEndian
         : bytes.substr(0, 2) == "\xFE\xFF" ? Encoding::Utf16BigEndian
                                            : Encoding::Bytes;
}

// `bytes` read as UTF-16 in the given byte order, after its byte order mark if it begins
// with one, as the 8-bit characters that the readers look at: ASCII as it is, any other
// character as 0x80, which no record holds and no markup begins with. A last byte alone
// is a character cut off: dropped. `wide` counts the characters beyond 8 bits.
inline std::string NarrowUtf16(std::string_view bytes, Encoding encoding, std::size_t& wide)
{
    std::string text;
    text.reserve(bytes.size() / 2);
    wide = 0;
    const std::size_t first = encoding == Encoding::Utf16LittleEndian ? 0 : 1;
    for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
        const unsigned unit = static_cast<unsigned char>(bytes[at + first]) |
                              static_cast<unsigned char>(bytes[at + 1 - first]) << 8;
        if (at == 0 && unit == kByteOrderMark) {
            continue;
        }
        wide += unit > 0xFF ? 1 : 0;
        text += unit < 0x80 ? static_cast<char>(unit) : '\x80';
    }
    return text;
}

#endif
