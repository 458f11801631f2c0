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

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

// What makes a record of each form, for recognising, parsing and telling a cut one: its
// mark, then (S-records) a decimal digit, its type, then hex digits that spell its bytes.
// The first byte counts the others but `uncounted` of them, and all sum to `sum`.
struct RecordForm {
    char mark;
    bool typeFollows;
    unsigned uncounted;
    unsigned sum;
    Message notOne;  // why a line that does not begin like one is no record
};

constexpr RecordForm kIntelHex{':', false, 5, 0x00, Message::DumpNotIntelHex};  // :LLAAAATT<data>CC
constexpr RecordForm kSRecord{'S', true, 1, 0xFF, Message::DumpNotSRecord};    // StCC<address><data>SS

const RecordForm& FormOf(DumpForm form)
{
    return form == DumpForm::IntelHex ? kIntelHex : kSRecord;
}

std::size_t DigitsFrom(const RecordForm& form)
{
    return form.typeFollows ? 2 : 1;
}

// True when `text` begins as a record of the form does: the mark, then the type or a
// hex digit.
bool BeginsRecord(const RecordForm& form, const char* text, std::size_t length)
{
    return length >= 2 && text[0] == form.mark &&
           (form.typeFollows ? text[1] >= '0' && text[1] <= '9' : HexDigit(text[1]) >= 0);
}

// True for the start of a record that a file cut off: the mark (and type), then hex
// digits, fewer than the record needs.
bool IsCutRecord(const RecordForm& form, const char* text, std::size_t length)
{
    const std::size_t from = DigitsFrom(form);
    if (length == 0 || text[0] != form.mark || (length > 1 && !BeginsRecord(form, text, std::min<std::size_t>(length, 2))) ||
        std::any_of(text + std::min(from, length), text + length, [](char c) { return HexDigit(c) < 0; })) {
        return false;
    }
    if (length < from + 2) {
        return true;
    }
    const unsigned counted = static_cast<unsigned>(HexDigit(text[from]) * 16 + HexDigit(text[from + 1]));
    return length < from + 2 * (counted + form.uncounted);
}

// The bytes that a record's hex digits spell, into `bytes`, checked against its form's
// rules; it has `minimum` bytes at least. Returns why they cannot be read, if they cannot.
Fault RecordBytes(const RecordForm& form, const char* text, std::size_t length, std::size_t minimum,
                  unsigned char* bytes, std::size_t& size)
{
    const std::size_t from = DigitsFrom(form);
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
    if (size < minimum || size != bytes[0] + form.uncounted) {
        return Message::DumpWrongLength;
    }
    return sum % 256 == form.sum ? Fault{} : Message::DumpChecksum;
}

std::uint64_t BigEndian(const unsigned char* bytes, std::size_t size)
{
    std::uint64_t value = 0;
    for (std::size_t k = 0; k < size; ++k) {
        value = value << 8 | bytes[k];
    }
    return value;
}

enum class Kind { Data, End, Ignored, SegmentBase, LinearBase, Count };

struct Record {
    Kind kind = Kind::Ignored;
    std::uint64_t address = 0;  // of the first data byte; the value of a base or count
    const unsigned char* data = nullptr;
    std::size_t size = 0;  // bytes of data
};

// `:LLAAAATT<data>CC`: LL data bytes at address AAAA, of type TT.
Fault ParseIntelHex(const char* text, std::size_t length, unsigned char* bytes, Record& record)
{
    if (length == 0 || text[0] != ':') {
        return kIntelHex.notOne;
    }
    std::size_t size;
    if (const Fault fault = RecordBytes(kIntelHex, text, length, 5, bytes, size)) {
        return fault;
    }
    record.address = BigEndian(bytes + 1, 2);
    record.size = bytes[0];
    record.data = bytes + 4;
    // Each type but data has one length; the value of a base is its data.
    static const struct { Kind kind; int size; } kTypes[] = {
        {Kind::Data, -1}, {Kind::End, 0}, {Kind::SegmentBase, 2}, {Kind::Ignored, 4}, {Kind::LinearBase, 2},
        {Kind::Ignored, 4},
    };
    if (bytes[3] >= std::size(kTypes)) {
        return Message::DumpUnknownType;
    }
    record.kind = kTypes[bytes[3]].kind;
    if (kTypes[bytes[3]].size >= 0 && record.size != static_cast<std::size_t>(kTypes[bytes[3]].size)) {
        return Message::DumpWrongLength;
    }
    if (record.kind == Kind::SegmentBase || record.kind == Kind::LinearBase) {
        record.address = BigEndian(record.data, 2) << (record.kind == Kind::SegmentBase ? 4 : 16);
    }
    return {};
}

// `St` then `CC<address><data>SS`, of type t.
Fault ParseSRecord(const char* text, std::size_t length, unsigned char* bytes, Record& record)
{
    if (!BeginsRecord(kSRecord, text, length)) {
        return kSRecord.notOne;
    }
    static const struct { Kind kind; std::size_t addressSize; } kTypes[] = {
        {Kind::Ignored, 2}, {Kind::Data, 2}, {Kind::Data, 3}, {Kind::Data, 4}, {Kind::Ignored, 0},
        {Kind::Count, 2},   {Kind::Count, 3}, {Kind::End, 4}, {Kind::End, 3},  {Kind::End, 2},
    };
    const auto& type = kTypes[text[1] - '0'];
    if (type.addressSize == 0) {
        return Message::DumpUnknownType;
    }
    std::size_t size;
    if (const Fault fault = RecordBytes(kSRecord, text, length, 2 + type.addressSize, bytes, size)) {
        return fault;
    }
    record.kind = type.kind;
    record.address = BigEndian(bytes + 1, type.addressSize);
    record.size = size - 2 - type.addressSize;
    record.data = bytes + 1 + type.addressSize;
    if (record.size != 0 && (record.kind == Kind::Count || record.kind == Kind::End)) {
        return Message::DumpWrongLength;
    }
    return {};
}

// The dump's text as 8-bit characters: UTF-16 narrowed as it is read, after its byte
// order mark, every character beyond ASCII read as 0x80, which no record holds.
struct TextSource {
    LogStream& log;
    TextEncoding encoding;
    std::vector<unsigned char> units = {};  // UTF-16 as read; an odd byte left over first
    std::size_t leftOver = 0;
    bool begun = false;
};

// Reads up to `size` characters into `text`; returns how many, 0 at the text's end.
std::size_t ReadText(TextSource& source, char* text, std::size_t size)
{
    if (source.encoding == TextEncoding::Bytes) {
        return ReadLogBytes(source.log, reinterpret_cast<unsigned char*>(text), size);
    }
    const bool little = source.encoding == TextEncoding::Utf16LittleEndian;
    source.units.resize(2 * size);
    std::size_t written = 0;
    for (std::size_t got = 1; written == 0 && got != 0;) {
        got = ReadLogBytes(source.log, source.units.data() + source.leftOver, 2 * size - source.leftOver);
        const std::size_t total = source.leftOver + got;
        std::size_t at = 0;
        for (; at + 1 < total; at += 2) {
            const unsigned first = source.units[at], second = source.units[at + 1];
            const unsigned unit = little ? first | second << 8 : first << 8 | second;
            if (!source.begun) {
                source.begun = true;
                if (unit == 0xFEFF) {
                    continue;
                }
            }
            text[written++] = unit < 0x80 ? static_cast<char>(unit) : '\x80';
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
    if (reader.number == 0 && Available(reader, 3) == 3 && std::memcmp(&reader.chunk[reader.at], "\xEF\xBB\xBF", 3) == 0) {
        reader.at += 3;
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
    DumpForm form;
    DumpImage image = {};
    std::uint64_t base = 0;        // what extended address records add
    std::uint64_t dataRecords = 0;
    std::uint64_t outside = kNowhere;  // the lowest address of data beyond the largest log
    bool ended = false;            // the end record has been met
    bool counted = false;          // the last record was a matching count (S5, S6)
    unsigned char bytes[kLongestRecord / 2 + 1] = {};  // the bytes of the record at hand
};

Fault Place(Decoding& d, const Record& record)
{
    const std::uint64_t start = d.base + record.address;
    if (record.size == 0) {
        return {};
    }
    if (start >= kLargestLog) {
        d.outside = std::min(d.outside, start);  // checked, but beyond any log
        return {};
    }
    const std::size_t end = static_cast<std::size_t>(std::min<std::uint64_t>(start + record.size, kLargestLog));
    std::string& image = d.image.bytes;
    std::vector<bool>& given = d.image.given;
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
Fault TakeLine(Decoding& d, const Line& line)
{
    if (line.length == 0) {
        return {};  // blank: the reader skipped its white space
    }
    // The record is the text up to white space; what follows is a comment.
    const std::size_t length = static_cast<std::size_t>(FindEither(line.text, line.length, ' ', '\t') - line.text);
    if (length == line.length && line.more) {
        return Message::DumpWrongLength;  // longer than any record
    }
    if (!line.ended && length == line.length && IsCutRecord(FormOf(d.form), line.text, length)) {
        return {};  // the file ends inside this record: the dump was cut off
    }
    Record record;
    const Fault fault = d.form == DumpForm::IntelHex ? ParseIntelHex(line.text, length, d.bytes, record)
                                                     : ParseSRecord(line.text, length, d.bytes, record);
    if (fault) {
        return fault;
    }
    d.counted = false;
    switch (record.kind) {
    case Kind::Data:
        ++d.dataRecords;
        return Place(d, record);
    case Kind::End:
        d.ended = true;
        break;
    case Kind::SegmentBase:
    case Kind::LinearBase:
        d.base = record.address;
        break;
    case Kind::Count:
        if (record.address != d.dataRecords) {
            return Message::DumpCountMismatch;
        }
        d.counted = true;
        break;
    case Kind::Ignored:
        break;
    }
    return {};
}

// The form of a dump whose head, as 8-bit text, is `text`; Raw when it is no dump.
DumpForm FormOfText(const std::string& text)
{
    // Printable characters, ASCII or beyond (a comment in Polish), tabs and line ends.
    const auto isText = [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte >= ' ' && byte != 0x7F) || c == '\t' || c == '\r' || c == '\n';
    };
    if (!std::all_of(text.begin(), text.end(), isText)) {
        return DumpForm::Raw;
    }
    for (std::size_t at = 0; at < text.size(); at = text.find_first_of("\r\n", at)) {
        at = text.find_first_not_of(" \t\r\n", at);
        if (at == std::string::npos) {
            break;
        }
        for (const DumpForm form : {DumpForm::IntelHex, DumpForm::SRecord}) {
            if (BeginsRecord(FormOf(form), &text[at], text.size() - at)) {
                return form;
            }
        }
    }
    return DumpForm::Raw;
}

// The head read as UTF-16 of the given byte order, after its byte order mark, with each
// character beyond ASCII as 0x80, as the decoder reads it. Without the mark, false when a
// character of it is beyond ASCII: then only zero bytes between the characters tell it.
bool NarrowUtf16(const std::string& head, bool little, std::string& text)
{
    const bool marked = head.compare(0, 2, little ? "\xFF\xFE" : "\xFE\xFF") == 0;
    text.clear();
    for (std::size_t at = marked ? 2 : 0; at + 1 < head.size(); at += 2) {
        const char high = head[at + (little ? 1 : 0)], low = head[at + (little ? 0 : 1)];
        if (high != 0 && !marked) {
            return false;
        }
        text += high != 0 || (low & 0x80) != 0 ? '\x80' : low;
    }
    return true;
}

}  // namespace

DumpKind RecogniseDump(const std::string& head)
{
    std::string text;
    for (const TextEncoding encoding : {TextEncoding::Utf16LittleEndian, TextEncoding::Utf16BigEndian}) {
        if (NarrowUtf16(head, encoding == TextEncoding::Utf16LittleEndian, text) && FormOfText(text) != DumpForm::Raw) {
            return {FormOfText(text), encoding};
        }
    }
    return {FormOfText(head.substr(head.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0)), TextEncoding::Bytes};
}

DecodedDump DecodeDump(DumpKind kind, LogStream& text)
{
    Decoding d{kind.form};
    LineReader reader{TextSource{text, kind.encoding}};
    Line line;
    Fault fault;
    while (!fault && !d.ended && ReadLine(reader, line)) {
        fault = TakeLine(d, line);
    }
    DecodedDump decoded;
    if (fault) {
        decoded.fault = Diagnostic{*fault, "", line.number};
    } else if (text.error != 0) {
        decoded.fault = Diagnostic{Message::DumpUnreadable, "", 0, {std::strerror(text.error)}};
    } else if (d.image.bytes.empty() && d.outside != kNowhere) {
        decoded.fault = Diagnostic{Message::DumpOutOfRange, "", 0, {HexAddress(d.outside)}};
    } else if (d.image.bytes.empty()) {
        decoded.fault = Diagnostic{Message::DumpNoData, "", 0, {}};  // an end record alone, or empty records
    } else {
        d.image.cut = !d.ended && !(kind.form == DumpForm::SRecord && d.counted);
        decoded.image = std::move(d.image);
    }
    return decoded;
}
