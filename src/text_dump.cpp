// Reads Intel HEX and S-record dumps of the log: tells a dump from a raw log by its head,
// then decodes it line by line into the image a raw log of the same EEPROM holds.
#include "text_dump.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>

namespace {

// A record's text is at most 1 + 2 * (255 + 5) characters (Intel HEX; S-records are
// shorter); what a line holds past that is a comment or makes the record too long.
constexpr std::size_t kLongestRecord = 521;

// Why a line is no record that can be trusted; none while it is one.
using Fault = std::optional<Message>;

// The value of each character as a hex digit; kNoDigit for any other.
constexpr unsigned kNoDigit = 0x100;
constexpr std::array<unsigned short, 256> kHexDigits = [] {
    std::array<unsigned short, 256> digits{};
    for (int c = 0; c < 256; ++c) {
        digits[c] = static_cast<unsigned short>(c >= '0' && c <= '9'                         ? c - '0'
                                                : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10
                                                                                         : kNoDigit);
    }
    return digits;
}();

int HexDigit(char c)
{
    const unsigned digit = kHexDigits[static_cast<unsigned char>(c)];
    return digit == kNoDigit ? -1 : static_cast<int>(digit);
}

// Where the first of two characters stands in `text`, or its end.
const char* FindEither(const char* text, std::size_t length, char one, char other)
{
    const void* const first = std::memchr(text, one, length);
    const std::size_t before = first != nullptr ? static_cast<std::size_t>(static_cast<const char*>(first) - text) : length;
    const void* const second = std::memchr(text, other, before);
    return second != nullptr ? static_cast<const char*>(second) : text + before;
}

// What makes a record of each syntax, for recognising, parsing and telling a cut one: its
// mark, then (S-records) a decimal digit, its type, then hex digits that spell its bytes.
// The first byte counts the others but `uncounted` of them, and all sum to `sum`.
struct SyntaxRules {
    char mark;
    bool typeFollows;
    unsigned uncounted;
    unsigned sum;
    Message notOne;  // why a line that does not begin like one is no record
};

constexpr SyntaxRules kIntelHexRules{':', false, 5, 0x00, Message::DumpNotIntelHex};  // :LLAAAATT<data>CC
constexpr SyntaxRules kSRecordRules{'S', true, 1, 0xFF, Message::DumpNotSRecord};    // StCC<address><data>SS

const SyntaxRules& RulesOf(RecordSyntax syntax)
{
    return syntax == RecordSyntax::IntelHex ? kIntelHexRules : kSRecordRules;
}

std::size_t DigitsFrom(const SyntaxRules& rules)
{
    return rules.typeFollows ? 2 : 1;
}

// True when `text` begins as a record of the syntax does: the mark, then the type or a
// hex digit.
bool BeginsRecord(const SyntaxRules& rules, const char* text, std::size_t length)
{
    return length >= 2 && text[0] == rules.mark &&
           (rules.typeFollows ? text[1] >= '0' && text[1] <= '9' : HexDigit(text[1]) >= 0);
}

// True for the start of a record that a file cut off: the mark (and type), then hex
// digits, fewer than the record needs.
bool IsCutRecord(const SyntaxRules& rules, const char* text, std::size_t length)
{
    const std::size_t from = DigitsFrom(rules);
    if (length == 0 || text[0] != rules.mark || (length > 1 && !BeginsRecord(rules, text, std::min<std::size_t>(length, 2))) ||
        std::any_of(text + std::min(from, length), text + length, [](char c) { return HexDigit(c) < 0; })) {
        return false;
    }
    if (length < from + 2) {
        return true;
    }
    const unsigned counted = static_cast<unsigned>(HexDigit(text[from]) * 16 + HexDigit(text[from + 1]));
    return length < from + 2 * (counted + rules.uncounted);
}

// The bytes that a record's hex digits spell, into `bytes`, checked against its syntax's
// rules; it has `minimum` bytes at least. Returns why they cannot be read, if they cannot.
Fault RecordBytes(const SyntaxRules& rules, const char* text, std::size_t length, std::size_t minimum,
                  unsigned char* bytes, std::size_t& size)
{
    const std::size_t from = DigitsFrom(rules);
    if (length > kLongestRecord) {
        return Message::DumpWrongLength;
    }
    // A character that is no digit leaves kNoDigit, or kNoDigit << 4, in `bad`.
    unsigned sum = 0, bad = 0;
    const auto* digits = reinterpret_cast<const unsigned char*>(text + from);
    for (std::size_t k = 0; k < (length - from) / 2; ++k, digits += 2) {
        const unsigned value = kHexDigits[digits[0]] << 4 | kHexDigits[digits[1]];
        bad |= value;
        bytes[k] = static_cast<unsigned char>(value);
        sum += value;
    }
    if (bad & (kNoDigit | kNoDigit << 4)) {
        return Message::DumpBadCharacter;
    }
    if ((length - from) % 2 != 0) {
        return HexDigit(text[length - 1]) < 0 ? Message::DumpBadCharacter : Message::DumpWrongLength;
    }
    size = (length - from) / 2;
    if (size < minimum || size != bytes[0] + rules.uncounted) {
        return Message::DumpWrongLength;
    }
    return sum % 256 == rules.sum ? Fault{} : Message::DumpChecksum;
}

std::uint64_t BigEndian(const unsigned char* bytes, std::size_t size)
{
    std::uint64_t value = 0;
    for (std::size_t k = 0; k < size; ++k) {
        value = value << 8 | bytes[k];
    }
    return value;
}

enum class RecordType { Data, End, Ignored, SegmentBase, LinearBase, Count };

struct Record {
    RecordType type = RecordType::Ignored;
    std::uint64_t address = 0;  // of the first data byte; the value of a base or count
    const unsigned char* data = nullptr;
    std::size_t size = 0;  // bytes of data
};

// `:LLAAAATT<data>CC`: LL data bytes at address AAAA, of type TT.
Fault ParseIntelHex(const char* text, std::size_t length, unsigned char* bytes, Record& record)
{
    if (length == 0 || text[0] != ':') {
        return kIntelHexRules.notOne;
    }
    std::size_t size;
    if (const Fault fault = RecordBytes(kIntelHexRules, text, length, 5, bytes, size)) {
        return fault;
    }
    record.address = BigEndian(bytes + 1, 2);
    record.size = bytes[0];
    record.data = bytes + 4;
    // Each type but data has one length; the value of a base is its data.
    static const struct { RecordType type; int size; } kTypes[] = {
        {RecordType::Data, -1},      {RecordType::End, 0},        {RecordType::SegmentBase, 2},
        {RecordType::Ignored, 4},    {RecordType::LinearBase, 2}, {RecordType::Ignored, 4},
    };
    if (bytes[3] >= std::size(kTypes)) {
        return Message::DumpUnknownType;
    }
    record.type = kTypes[bytes[3]].type;
    if (kTypes[bytes[3]].size >= 0 && record.size != static_cast<std::size_t>(kTypes[bytes[3]].size)) {
        return Message::DumpWrongLength;
    }
    if (record.type == RecordType::SegmentBase || record.type == RecordType::LinearBase) {
        record.address = BigEndian(record.data, 2) << (record.type == RecordType::SegmentBase ? 4 : 16);
    }
    return {};
}

// `St` then `CC<address><data>SS`, of type t.
Fault ParseSRecord(const char* text, std::size_t length, unsigned char* bytes, Record& record)
{
    if (!BeginsRecord(kSRecordRules, text, length)) {
        return kSRecordRules.notOne;
    }
    static const struct { RecordType type; std::size_t addressSize; } kTypes[] = {
        {RecordType::Ignored, 2}, {RecordType::Data, 2},  {RecordType::Data, 3}, {RecordType::Data, 4},
        {RecordType::Ignored, 0}, {RecordType::Count, 2}, {RecordType::Count, 3}, {RecordType::End, 4},
        {RecordType::End, 3},     {RecordType::End, 2},
    };
    const auto& layout = kTypes[text[1] - '0'];
    if (layout.addressSize == 0) {
        return Message::DumpUnknownType;
    }
    std::size_t size;
    if (const Fault fault = RecordBytes(kSRecordRules, text, length, 2 + layout.addressSize, bytes, size)) {
        return fault;
    }
    record.type = layout.type;
    record.address = BigEndian(bytes + 1, layout.addressSize);
    record.size = size - 2 - layout.addressSize;
    record.data = bytes + 1 + layout.addressSize;
    if (record.size != 0 && (record.type == RecordType::Count || record.type == RecordType::End)) {
        return Message::DumpWrongLength;
    }
    return {};
}

// The dump's text as 8-bit characters: UTF-16 narrowed as it is read, after its byte
// order mark, every character beyond ASCII read as 0x80, which no record holds.
struct TextSource {
    LogStream& log;
    Encoding encoding;
    std::vector<unsigned char> units = {};  // UTF-16 as read; an odd byte left over first
    std::size_t leftOver = 0;
    bool begun = false;
};

// Reads up to `size` characters into `text`; returns how many, 0 at the text's end.
std::size_t ReadText(TextSource& source, char* text, std::size_t size)
{
    if (source.encoding == Encoding::Bytes) {
        return ReadLogBytes(source.log, reinterpret_cast<unsigned char*>(text), size);
    }
    source.units.resize(2 * size);
    std::size_t written = 0;
    for (std::size_t got = 1; written == 0 && got != 0;) {
        got = ReadLogBytes(source.log, source.units.data() + source.leftOver, 2 * size - source.leftOver);
        const std::size_t total = source.leftOver + got;
        std::size_t at = 0;
        for (; at + 1 < total; at += 2) {
            const unsigned unit = Utf16Unit(source.units[at], source.units[at + 1], source.encoding);
            if (!source.begun) {
                source.begun = true;
                if (unit == kByteOrderMark) {
                    continue;
                }
            }
            text[written++] = Narrow(unit);
        }
        source.leftOver = total - at;  // a last byte alone is a character cut off: dropped
        if (source.leftOver != 0) {
            source.units[0] = source.units[at];
        }
    }
    return written;
}

// One line of a dump, as the line reader gives it. Its text stays valid until the next.
struct Line {
    long number = 0;              // from 1; every line counts, blank ones too
    const char* text = nullptr;   // after leading white space, as far as a record and the
    std::size_t length = 0;       // white space after it can reach
    bool more = false;            // something other than white space came after `text`
    bool ended = false;           // the line had its line end: it was not cut off
};

// Reads a dump's lines, a chunk of the text at a time: lines end in LF, CR LF or CR
// alone, and a UTF-8 byte order mark before the first is skipped.
struct LineReader {
    TextSource source;
    std::vector<char> chunk = std::vector<char>(1 << 16);
    std::size_t at = 0;
    std::size_t size = 0;
    bool drained = false;
    long number = 0;
    bool afterCr = false;  // the last line ended in CR: an LF right after it belongs to it
    char longLine[kLongestRecord + 1] = {};
};

// Makes `wanted` characters from `at` on stand in the chunk, or as many as the text has
// left; returns how many do.
std::size_t Available(LineReader& reader, std::size_t wanted)
{
    if (reader.size - reader.at < wanted && !reader.drained) {
        std::memmove(reader.chunk.data(), reader.chunk.data() + reader.at, reader.size - reader.at);
        reader.size -= reader.at;
        reader.at = 0;
        while (reader.size < wanted && !reader.drained) {
            const std::size_t got =
                ReadText(reader.source, reader.chunk.data() + reader.size, reader.chunk.size() - reader.size);
            reader.size += got;
            reader.drained = got == 0;
        }
    }
    return std::min(wanted, reader.size - reader.at);
}

// Reads the next line into `line`; false when the dump has no more.
bool ReadLine(LineReader& reader, Line& line)
{
    if (reader.number == 0 && Available(reader, 3) == 3) {
        reader.at += Utf8MarkLength({&reader.chunk[reader.at], 3});
    }
    if (reader.afterCr && Available(reader, 1) == 1 && reader.chunk[reader.at] == '\n') {
        ++reader.at;
    }
    if (Available(reader, 1) == 0) {
        return false;
    }
    line = Line{};
    line.number = ++reader.number;
    while (Available(reader, 1) == 1 && IsBlank(reader.chunk[reader.at])) {
        ++reader.at;
    }
    const std::size_t room = Available(reader, kLongestRecord + 1);
    line.text = &reader.chunk[reader.at];
    line.length = static_cast<std::size_t>(FindEither(line.text, room, '\n', '\r') - line.text);
    reader.at += line.length;
    if (line.length > kLongestRecord) {
        // Longer than any record: the rest is only looked at, and the chunk moves on.
        line.text = std::copy(line.text, line.text + line.length, reader.longLine) - line.length;
        for (; Available(reader, 1) == 1 && !IsLineEnd(reader.chunk[reader.at]); ++reader.at) {
            line.more = line.more || !IsBlank(reader.chunk[reader.at]);
        }
    }
    line.ended = reader.at < reader.size;
    reader.afterCr = line.ended && reader.chunk[reader.at] == '\r';
    reader.at += line.ended ? 1 : 0;
    return true;
}

constexpr std::uint64_t kNowhere = std::numeric_limits<std::uint64_t>::max();

// The dump as it is decoded, line by line.
struct Decoding {
    RecordSyntax syntax;
    DumpImage image = {};
    std::uint64_t base = 0;        // what extended address records add
    std::uint64_t dataRecords = 0;
    std::uint64_t outside = kNowhere;  // the lowest address of data beyond the largest log
    bool ended = false;            // the end record has been met
    bool counted = false;          // the last record was a matching count (S5, S6)
    unsigned char bytes[kLongestRecord / 2 + 1] = {};  // the bytes of the record at hand
};

Fault StoreData(Decoding& decoding, const Record& record)
{
    const std::uint64_t start = decoding.base + record.address;
    if (record.size == 0) {
        return {};
    }
    if (start >= kLargestLog) {
        decoding.outside = std::min(decoding.outside, start);  // checked, but beyond any log
        return {};
    }
    const std::size_t end = static_cast<std::size_t>(std::min<std::uint64_t>(start + record.size, kLargestLog));
    std::string& image = decoding.image.bytes;
    std::vector<bool>& given = decoding.image.given;
    if (start == image.size()) {  // the bytes that follow, as records mostly come
        image.append(reinterpret_cast<const char*>(record.data), end - start);
        if (!given.empty()) {
            given.resize(end, true);
        }
        return {};
    }
    if (given.empty()) {  // every byte so far came in order: from here on, each is told
        given.resize(image.size(), true);
    }
    if (end > image.size()) {
        image.resize(end, '\xFF');
        given.resize(end, false);
    }
    for (std::size_t at = static_cast<std::size_t>(start); at < end; ++at) {
        const char byte = static_cast<char>(record.data[at - start]);
        if (given[at] && image[at] != byte) {
            return Message::DumpDisagrees;
        }
        image[at] = byte;
        given[at] = true;
    }
    return {};
}

// Takes one line.
Fault TakeLine(Decoding& decoding, const Line& line)
{
    if (line.length == 0) {
        return {};  // blank: the reader skipped its white space
    }
    // The record is the text up to white space; what follows is a comment.
    const std::size_t length = static_cast<std::size_t>(FindEither(line.text, line.length, ' ', '\t') - line.text);
    if (length == line.length && line.more) {
        return Message::DumpWrongLength;  // longer than any record
    }
    if (!line.ended && length == line.length && IsCutRecord(RulesOf(decoding.syntax), line.text, length)) {
        return {};  // the file ends inside this record: the dump was cut off
    }
    Record record;
    const Fault fault = decoding.syntax == RecordSyntax::IntelHex
                            ? ParseIntelHex(line.text, length, decoding.bytes, record)
                            : ParseSRecord(line.text, length, decoding.bytes, record);
    if (fault) {
        return fault;
    }
    decoding.counted = false;
    switch (record.type) {
    case RecordType::Data:
        ++decoding.dataRecords;
        return StoreData(decoding, record);
    case RecordType::End:
        decoding.ended = true;
        break;
    case RecordType::SegmentBase:
    case RecordType::LinearBase:
        decoding.base = record.address;
        break;
    case RecordType::Count:
        if (record.address != decoding.dataRecords) {
            return Message::DumpCountMismatch;
        }
        decoding.counted = true;
        break;
    case RecordType::Ignored:
        break;
    }
    return {};
}

// The record syntax of a dump whose head, as 8-bit text, is `text`; None when it is no
// dump.
RecordSyntax SyntaxOfText(const std::string& text)
{
    // Printable characters, ASCII or beyond (a comment in Polish), tabs and line ends.
    const auto isText = [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte >= ' ' && byte != 0x7F) || c == '\t' || c == '\r' || c == '\n';
    };
    if (!std::all_of(text.begin(), text.end(), isText)) {
        return RecordSyntax::None;
    }
    for (std::size_t at = 0; at < text.size(); at = text.find_first_of(kLineEnds, at)) {
        at = text.find_first_not_of(kWhiteSpace, at);
        if (at == std::string::npos) {
            break;
        }
        for (const RecordSyntax syntax : {RecordSyntax::IntelHex, RecordSyntax::SRecord}) {
            if (BeginsRecord(RulesOf(syntax), &text[at], text.size() - at)) {
                return syntax;
            }
        }
    }
    return RecordSyntax::None;
}

// The head read as UTF-16 in the given encoding, after its byte order mark, narrowed as
// the decoder reads it. Without the mark, false when a character of it is beyond 8 bits:
// then only zero bytes between the characters tell it.
bool NarrowUtf16(const std::string& head, Encoding encoding, std::string& text)
{
    const auto unitAt = [&](std::size_t at) {
        return Utf16Unit(static_cast<unsigned char>(head[at]), static_cast<unsigned char>(head[at + 1]), encoding);
    };
    const bool marked = head.size() >= 2 && unitAt(0) == kByteOrderMark;
    text.clear();
    for (std::size_t at = marked ? 2 : 0; at + 1 < head.size(); at += 2) {
        const unsigned unit = unitAt(at);
        if (unit > 0xFF && !marked) {
            return false;
        }
        text += Narrow(unit);
    }
    return true;
}

}  // namespace

LogFormat RecogniseDump(const std::string& head)
{
    std::string text;
    for (const Encoding encoding : {Encoding::Utf16LittleEndian, Encoding::Utf16BigEndian}) {
        if (NarrowUtf16(head, encoding, text) && SyntaxOfText(text) != RecordSyntax::None) {
            return {SyntaxOfText(text), encoding};
        }
    }
    return {SyntaxOfText(head.substr(Utf8MarkLength(head))), Encoding::Bytes};
}

DecodedDump DecodeDump(LogFormat format, LogStream& text)
{
    Decoding decoding{format.syntax};
    LineReader reader{TextSource{text, format.encoding}};
    Line line;
    Fault fault;
    while (!fault && !decoding.ended && ReadLine(reader, line)) {
        fault = TakeLine(decoding, line);
    }
    DecodedDump decoded;
    if (fault) {
        decoded.fault = Diagnostic{*fault, "", line.number};
    } else if (text.error != 0) {
        decoded.fault = Diagnostic{Message::DumpUnreadable, "", 0, {std::strerror(text.error)}};
    } else if (decoding.image.bytes.empty() && decoding.outside != kNowhere) {
        decoded.fault = Diagnostic{Message::DumpOutOfRange, "", 0, {HexAddress(decoding.outside)}};
    } else if (decoding.image.bytes.empty()) {
        decoded.fault = Diagnostic{Message::DumpNoData, "", 0, {}};  // an end record alone, or empty records
    } else {
        decoding.image.cut = !decoding.ended && !(format.syntax == RecordSyntax::SRecord && decoding.counted);
        decoded.image = std::move(decoding.image);
    }
    return decoded;
}
