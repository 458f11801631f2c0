// How the text that kml reads is written: the byte order marks, white space, and UTF-16
// narrowed to the 8-bit characters that the readers look at. Text dumps are recognised
// and decoded through it, and the head of a file at the KML path is looked at through it.
#ifndef KML_TEXT_ENCODING_H
#define KML_TEXT_ENCODING_H

#include <cstddef>
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

// The UTF-16 unit that two bytes spell in the given byte order.
inline unsigned Utf16Unit(unsigned char first, unsigned char second, Encoding encoding)
{
    return encoding == Encoding::Utf16LittleEndian ? first | second << 8 : first << 8 | second;
}

// A character as the readers look at it: ASCII as it is, anything beyond as 0x80, which
// no record holds and no markup begins with.
inline char Narrow(unsigned character)
{
    return character < 0x80 ? static_cast<char>(character) : '\x80';
}

#endif
