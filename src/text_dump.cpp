#include "text_dump.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <vector>

namespace {

// A record's text is at most 1 + 2 * (255 + 5) characters (Intel HEX; S-records are
// shorter); what a line holds past that is a comment or makes the record too long.
constexpr std::size_t kLongestRecord = 521;

enum class Kind { Data, End, Ignored, SegmentBase, LinearBase, Count };

struct Record {
    Kind kind = Kind::Ignored;
    std::uint64_t address = 0;  // of the first data byte; the value of a base or count
    unsigned char bytes[kLongestRecord / 2];
    std::size_t size = 0;  // bytes of data
};

const char* const kBadCharacter = "bad character in record";
const char* const kWrongLength = "wrong record length";
const char* const kUnknownType = "unknown record type";
const char* const kChecksum = "checksum mismatch";

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
        return (c | 0x20) - 'a' + 10;
    }
    return -1;
}

// The bytes spelt by `digits` hex digits at `text`, into `bytes`; false on a bad character.
bool HexBytes(const char* text, std::size_t digits, unsigned char* bytes)
{
    for (std::size_t k = 0; k < digits; ++k) {
        const int digit = HexDigit(text[k]);
        if (digit < 0) {
            return false;
        }
        bytes[k / 2] = static_cast<unsigned char>(k % 2 == 0 ? digit << 4 : bytes[k / 2] | digit);
    }
    return true;
}

std::uint64_t BigEndian(const unsigned char* bytes, std::size_t size)
{
    std::uint64_t value = 0;
    for (std::size_t k = 0; k < size; ++k) {
        value = value << 8 | bytes[k];
    }
    return value;
}

// The bytes that a record's hex digits spell from `first` on, how many, and their sum.
// Returns why they cannot be read, or null.
const char* RecordBytes(const char* text, std::size_t length, std::size_t first, unsigned char* bytes,
                        std::size_t& size, unsigned& sum)
{
    if (length > kLongestRecord) {
        return kWrongLength;
    }
    if (!HexBytes(text + first, length - first, bytes)) {
        return kBadCharacter;
    }
    if ((length - first) % 2 != 0) {
        return kWrongLength;
    }
    size = (length - first) / 2;
    sum = std::accumulate(bytes, bytes + size, 0u);
    return nullptr;
}

// `:LLAAAATT<data>CC`: LL data bytes at address AAAA, of type TT; the bytes sum to 0.
const char* ParseIntelHex(const char* text, std::size_t length, Record& record)
{
    unsigned char bytes[kLongestRecord / 2];
    if (length == 0 || text[0] != ':') {
        return "not an Intel HEX record";
    }
    std::size_t size;
    unsigned sum;
    if (const char* fault = RecordBytes(text, length, 1, bytes, size, sum)) {
        return fault;
    }
    if (size < 5 || size != bytes[0] + 5u) {
        return kWrongLength;
    }
    if (sum % 256 != 0) {
        return kChecksum;
    }
    record.address = BigEndian(bytes + 1, 2);
    record.size = bytes[0];
    std::memcpy(record.bytes, bytes + 4, record.size);
    // Each type but data has one length; the value of a base is its data.
    static const struct { Kind kind; int size; } kTypes[] = {
        {Kind::Data, -1}, {Kind::End, 0}, {Kind::SegmentBase, 2}, {Kind::Ignored, 4}, {Kind::LinearBase, 2},
        {Kind::Ignored, 4},
    };
    if (bytes[3] >= std::size(kTypes)) {
        return kUnknownType;
    }
    record.kind = kTypes[bytes[3]].kind;
    if (kTypes[bytes[3]].size >= 0 && record.size != static_cast<std::size_t>(kTypes[bytes[3]].size)) {
        return kWrongLength;
    }
    if (record.kind == Kind::SegmentBase || record.kind == Kind::LinearBase) {
        record.address = BigEndian(record.bytes, 2) << (record.kind == Kind::SegmentBase ? 4 : 16);
    }
    return nullptr;
}

// `St` then `CC<address><data>SS`, of type t: CC counts the bytes after it, and all the
// bytes, CC to SS, sum to FF.
const char* ParseSRecord(const char* text, std::size_t length, Record& record)
{
    unsigned char bytes[kLongestRecord / 2];
    if (length < 2 || text[0] != 'S' || HexDigit(text[1]) < 0 || HexDigit(text[1]) > 9) {
        return "not an S-record";
    }
    static const struct { Kind kind; std::size_t addressSize; } kTypes[] = {
        {Kind::Ignored, 2}, {Kind::Data, 2}, {Kind::Data, 3}, {Kind::Data, 4}, {Kind::Ignored, 0},
        {Kind::Count, 2},   {Kind::Count, 3}, {Kind::End, 4}, {Kind::End, 3},  {Kind::End, 2},
    };
    const auto& type = kTypes[text[1] - '0'];
    if (type.addressSize == 0) {
        return kUnknownType;
    }
    std::size_t size;
    unsigned sum;
    if (const char* fault = RecordBytes(text, length, 2, bytes, size, sum)) {
        return fault;
    }
    if (size < 2 + type.addressSize || size != bytes[0] + 1u) {
        return kWrongLength;
    }
    if (sum % 256 != 0xFF) {
        return kChecksum;
    }
    record.kind = type.kind;
    record.address = BigEndian(bytes + 1, type.addressSize);
    record.size = size - 2 - type.addressSize;
    if (record.size != 0 && (record.kind == Kind::Count || record.kind == Kind::End)) {
        return kWrongLength;
    }
    std::memcpy(record.bytes, bytes + 1 + type.addressSize, record.size);
    return nullptr;
}

const char* Parse(DumpForm form, const char* text, std::size_t length, Record& record)
{
    return form == DumpForm::IntelHex ? ParseIntelHex(text, length, record) : ParseSRecord(text, length, record);
}

// True for the start of a record that a file cut off: the mark, then hex digits, fewer
// than the record needs.
bool IsCutRecord(DumpForm form, const char* text, std::size_t length)
{
    const std::size_t digitsFrom = form == DumpForm::IntelHex ? 1 : 2;
    if (length == 0 || text[0] != (form == DumpForm::IntelHex ? ':' : 'S') ||
        (length > 1 && form == DumpForm::SRecord && HexDigit(text[1]) < 0)) {
        return false;
    }
    for (std::size_t k = digitsFrom; k < length; ++k) {
        if (HexDigit(text[k]) < 0) {
            return false;
        }
    }
    if (length < digitsFrom + 2) {
        return true;
    }
    const std::size_t needed = digitsFrom + 2 * (HexDigit(text[digitsFrom]) * 16u + HexDigit(text[digitsFrom + 1]) +
                                                 (form == DumpForm::IntelHex ? 5 : 1));
    return length < needed;
}

// One line of a dump, as the line reader gives it.
struct Line {
    long number = 0;   // from 1; every line counts, blank ones too
    std::string text;  // after leading white space, as far as a record and the white
                       // space after it can reach
    bool more = false; // something other than white space came after `text`
    bool ended = false;  // the line had its line end: it was not cut off
};

// Reads a dump's lines, a chunk of the log at a time: lines end in LF, CR LF or CR alone,
// and a UTF-8 byte order mark before the first is skipped.
struct LineReader {
    LogStream& log;
    std::vector<char> chunk = std::vector<char>(1 << 16);
    std::size_t at = 0;
    std::size_t size = 0;
    long number = 0;
    bool afterCr = false;  // the last line ended in CR: an LF right after it belongs to it

    // The next character, or EOF.
    int Next()
    {
        if (at == size) {
            size = ReadLogBytes(log, reinterpret_cast<unsigned char*>(chunk.data()), chunk.size());
            at = 0;
            if (size == 0) {
                return EOF;
            }
        }
        return static_cast<unsigned char>(chunk[at++]);
    }
};

// Reads the next line into `line`; false when the dump has no more.
bool ReadLine(LineReader& reader, Line& line)
{
    int c = reader.Next();
    if (reader.number == 0 && c == 0xEF) {
        c = reader.Next() == 0xBB && reader.Next() == 0xBF ? reader.Next() : '?';
    }
    if (reader.afterCr && c == '\n') {
        c = reader.Next();
    }
    if (c == EOF) {
        return false;
    }
    line = Line{};
    line.number = ++reader.number;
    while (c != EOF && IsBlank(static_cast<char>(c))) {
        c = reader.Next();
    }
    for (; c != EOF && c != '\n' && c != '\r'; c = reader.Next()) {
        if (line.text.size() <= kLongestRecord) {
            line.text += static_cast<char>(c);
        } else {
            line.more = line.more || !IsBlank(static_cast<char>(c));
        }
    }
    line.ended = c != EOF;
    reader.afterCr = c == '\r';
    return true;
}

// The dump as it is decoded, line by line.
struct Decoding {
    DumpForm form;
    std::string image;
    std::vector<bool> known;  // which bytes of the image a record gave
    std::uint64_t base = 0;   // what extended address records add
    std::uint64_t dataRecords = 0;
    bool ended = false;       // the end record has been met
    bool counted = false;     // the last record was a matching count (S5, S6)
};

const char* Place(Decoding& d, const Record& record)
{
    const std::uint64_t start = d.base + record.address;
    if (record.size == 0 || start >= kLargestLog) {
        return nullptr;  // checked, but beyond any log
    }
    const std::size_t end = static_cast<std::size_t>(std::min<std::uint64_t>(start + record.size, kLargestLog));
    if (end > d.image.size()) {
        d.image.resize(end, '\xFF');
        d.known.resize(end, false);
    }
    for (std::size_t at = static_cast<std::size_t>(start); at < end; ++at) {
        const char byte = static_cast<char>(record.bytes[at - start]);
        if (d.known[at] && d.image[at] != byte) {
            return "records give one address different bytes";
        }
        d.image[at] = byte;
        d.known[at] = true;
    }
    return nullptr;
}

// Takes one line.
const char* TakeLine(Decoding& d, const Line& line)
{
    if (line.text.empty()) {
        return nullptr;  // blank: the reader skipped its white space
    }
    // The record is the text up to white space; what follows is a comment.
    const std::size_t length = static_cast<std::size_t>(std::find_if(line.text.begin(), line.text.end(), IsBlank) -
                                                        line.text.begin());
    if (length == line.text.size() && line.more) {
        return kWrongLength;  // longer than any record
    }
    if (!line.ended && length == line.text.size() && IsCutRecord(d.form, line.text.data(), length)) {
        return nullptr;  // the file ends inside this record: the dump was cut off
    }
    Record record;
    if (const char* fault = Parse(d.form, line.text.data(), length, record)) {
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
            return "record count mismatch";
        }
        d.counted = true;
        break;
    case Kind::Ignored:
        break;
    }
    return nullptr;
}

}  // namespace

DumpForm RecogniseDump(const std::string& head)
{
    const std::size_t from = head.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    const auto isText = [](char c) { return (c >= ' ' && c <= '~') || c == '\t' || c == '\r' || c == '\n'; };
    if (!std::all_of(head.begin() + static_cast<std::ptrdiff_t>(from), head.end(), isText)) {
        return DumpForm::Raw;
    }
    for (std::size_t at = from; at < head.size(); at = head.find_first_of("\r\n", at)) {
        at = head.find_first_not_of(" \t\r\n", at);
        if (at == std::string::npos || at + 1 >= head.size()) {
            break;
        }
        if (head[at] == ':' && HexDigit(head[at + 1]) >= 0) {
            return DumpForm::IntelHex;
        }
        if (head[at] == 'S' && head[at + 1] >= '0' && head[at + 1] <= '9') {
            return DumpForm::SRecord;
        }
    }
    return DumpForm::Raw;
}

DumpFault DecodeDump(DumpForm form, LogStream& log)
{
    Decoding d{form, {}, {}};
    LineReader reader{log};
    Line line;
    const char* reason = nullptr;
    while (reason == nullptr && !d.ended && ReadLine(reader, line)) {
        reason = TakeLine(d, line);
    }
    DumpFault fault;
    if (reason == nullptr && log.error != 0) {
        reason = std::strerror(log.error);
        line.number = 0;
    }
    log.file = nullptr;
    log.at = 0;
    if (reason != nullptr) {
        log.held.clear();
        fault.line = line.number;
        fault.reason = reason;
        return fault;
    }
    log.held = std::move(d.image);
    log.known = std::move(d.known);
    log.cut = !d.ended && !(form == DumpForm::SRecord && d.counted);
    return fault;
}
