// Reads Intel HEX and S-record dumps of the log: tells a dump from a raw log by its head,
// then decodes its text, read whole, line by line into the image a raw log of the same
// EEPROM holds.
#include "text_dump.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>

namespace {

// A record's text is at most 1 + 2 * (255 + 5) characters (Intel HEX; S-records are
// shorter).
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

// Where the first of two characters stands in `text`, or its size: memchr, for speed.
std::size_t FindEither(std::string_view text, char one, char other)
{
    const void* const first = std::memchr(text.data(), one, text.size());
    const std::size_t before = first != nullptr ? static_cast<std::size_t>(static_cast<const char*>(first) - text.data())
                                                : text.size();
    const void* const second = std::memchr(text.data(), other, before);
    return second != nullptr ? static_cast<std::size_t>(static_cast<const char*>(second) - text.data()) : before;
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

// One line of a dump, after the white space it begins with, without its line end.
struct Line {
    long number = 0;  // from 1; every line counts, blank ones too
    std::string_view text;
    bool ended = false;  // the line had its line end: it was not cut off
};

// Takes the next line of `text` into `line`, and what follows it out of `text`: lines end
// in LF, CR LF or CR alone. False when the text has no more.
bool NextLine(std::string_view& text, Line& line)
{
    if (text.empty()) {
        return false;
    }
    const std::size_t end = FindEither(text, '\n', '\r');
    line.text = text.substr(0, end);
    line.text.remove_prefix(std::min(line.text.find_first_not_of(" \t"), line.text.size()));
    line.ended = end < text.size();
    ++line.number;
    text.remove_prefix(std::min(text.size(), end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1)));
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
    if (line.text.empty()) {
        return {};
    }
    // The record is the text up to white space; what follows is a comment.
    const char* const text = line.text.data();
    const std::size_t length = FindEither(line.text, ' ', '\t');
    if (!line.ended && length == line.text.size() && IsCutRecord(RulesOf(decoding.syntax), text, length)) {
        return {};  // the file ends inside this record: the dump was cut off
    }
    Record record;
    const Fault fault = decoding.syntax == RecordSyntax::IntelHex
                            ? ParseIntelHex(text, length, decoding.bytes, record)
                            : ParseSRecord(text, length, decoding.bytes, record);
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
RecordSyntax SyntaxOfText(std::string text)
{
    // What a file may hold after its last line: a DOS end-of-file mark, NUL padding.
    text.erase(text.find_last_not_of(std::string("\x1A\0", 2)) + 1);
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

}  // namespace

LogFormat RecogniseDump(const std::string& head)
{
    // UTF-16 without its byte order mark shows in zero bytes between characters: most of
    // them are ASCII (the records all are).
    for (const Encoding encoding : {Encoding::Utf16LittleEndian, Encoding::Utf16BigEndian}) {
        std::size_t wide;
        const std::string text = NarrowUtf16(head, encoding, wide);
        const RecordSyntax syntax = SyntaxOfText(text);
        if (syntax != RecordSyntax::None && (4 * wide < text.size() || Utf16MarkOf(head) == encoding)) {
            return {syntax, encoding};
        }
    }
    return {SyntaxOfText(head.substr(Utf8MarkLength(head))), Encoding::Bytes};
}

DecodedDump DecodeDump(LogFormat format, const std::string& bytes)
{
    std::size_t wide;
    const std::string narrowed = format.encoding == Encoding::Bytes ? std::string{} : NarrowUtf16(bytes, format.encoding, wide);
    std::string_view text = format.encoding == Encoding::Bytes ? std::string_view{bytes} : narrowed;
    text.remove_prefix(Utf8MarkLength(text));
    Decoding decoding{format.syntax};
    Line line;
    Fault fault;
    while (!fault && !decoding.ended && NextLine(text, line)) {
        fault = TakeLine(decoding, line);
    }
    DecodedDump decoded;
    if (fault) {
        decoded.fault = Diagnostic{*fault, "", line.number};
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
