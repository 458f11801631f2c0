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

// A line's length without the CR of a CR LF line end.
std::size_t WithoutCr(const char* line, std::size_t length)
{
    return length > 0 && line[length - 1] == '\r' ? length - 1 : length;
}

// The record of a line: its text up to the first white space; what follows is a comment.
std::size_t RecordLength(const char* line, std::size_t length)
{
    return static_cast<std::size_t>(std::find_if(line, line + length, IsBlank) - line);
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

// Takes one line, without its line end. `whole` is false for a last line that has none.
const char* TakeLine(Decoding& d, const char* line, std::size_t lineLength, bool whole)
{
    const std::size_t length = WithoutCr(line, lineLength);
    if (std::all_of(line, line + length, IsBlank)) {
        return nullptr;
    }
    const std::size_t recordLength = RecordLength(line, length);
    if (!whole && recordLength == length && IsCutRecord(d.form, line, length)) {
        return nullptr;  // the file ends inside this record: the dump was cut off
    }
    Record record;
    if (const char* fault = Parse(d.form, line, recordLength, record)) {
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
    const char* const line = head.data();
    const std::size_t length = WithoutCr(line, std::min(head.find('\n'), head.size()));
    const std::size_t recordLength = RecordLength(line, length);
    Record record;
    if (ParseIntelHex(line, recordLength, record) == nullptr) {
        return DumpForm::IntelHex;
    }
    if (ParseSRecord(line, recordLength, record) == nullptr) {
        return DumpForm::SRecord;
    }
    return DumpForm::Raw;
}

DumpFault DecodeDump(DumpForm form, LogStream& log)
{
    Decoding d{form, {}, {}};
    DumpFault fault;
    // Lines are taken from a chunk of the text at a time; a line's first kLongestRecord + 1
    // characters are all that can matter, so a longer one is kept only that far.
    std::vector<unsigned char> chunk(1 << 16);
    std::string line;
    bool longLine = false;
    long number = 1;
    const char* reason = nullptr;
    // A line longer than that holds a record only when white space and a comment follow it.
    const auto take = [&](bool whole) {
        return longLine && RecordLength(line.data(), line.size()) == line.size()
                   ? kWrongLength
                   : TakeLine(d, line.data(), line.size(), whole);
    };
    while (reason == nullptr && !d.ended) {
        const std::size_t got = ReadLogBytes(log, chunk.data(), chunk.size());
        if (got == 0) {
            break;
        }
        const char* text = reinterpret_cast<const char*>(chunk.data());
        const char* const end = text + got;
        while (reason == nullptr && !d.ended && text < end) {
            const char* const lineEnd = static_cast<const char*>(std::memchr(text, '\n', end - text));
            const char* const stop = lineEnd != nullptr ? lineEnd : end;
            const std::size_t room = kLongestRecord + 1 - std::min(line.size(), kLongestRecord + 1);
            line.append(text, std::min<std::size_t>(room, stop - text));
            longLine = longLine || static_cast<std::size_t>(stop - text) > room;
            if (lineEnd == nullptr) {
                break;
            }
            reason = take(true);
            text = lineEnd + 1;
            line.clear();
            longLine = false;
            number += reason == nullptr;
        }
    }
    if (reason == nullptr && !d.ended && !line.empty()) {
        reason = take(false);
    }
    if (reason == nullptr && LogReadFailed(log)) {
        number = 0;
        reason = std::strerror(errno != 0 ? errno : EIO);
    }
    log.file = nullptr;
    log.at = 0;
    if (reason != nullptr) {
        log.held.clear();
        fault.line = number;
        fault.reason = reason;
        return fault;
    }
    log.held = std::move(d.image);
    log.cut = !d.ended && !(form == DumpForm::SRecord && d.counted);
    return fault;
}
