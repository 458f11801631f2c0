// The position log: the binary image of a GPS logger's EEPROM.
//
// Layout, all little-endian, no padding:
//   offset 0          u16  record count N
//   offset 2 + 12k    i32  T of record k   (-1, bytes FF FF FF FF, is the end marker)
//   offset 6 + 12k    f32  X of record k   (latitude,  degrees * 100 + minutes)
//   offset 10 + 12k   f32  Y of record k   (longitude, degrees * 100 + minutes)
#ifndef KML_POSITION_LOG_H
#define KML_POSITION_LOG_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// The largest log there is: the count and 65,535 records. Bytes beyond it are never read.
constexpr std::size_t kLargestLog = 2 + 12 * std::size_t{65535};

// The log's bytes as the reading meets them: first those of `held` from `at` on, then
// the rest of `file`, if there is one. A raw log is read from its file as it goes (with
// the few bytes looked at to tell its form held); a text dump's image is held whole.
struct LogStream {
    std::FILE* file = nullptr;
    std::string held;
    std::size_t at = 0;
    int error = 0;  // why reading the file failed, as an errno value; 0 while it has not
};

// Reads up to `size` bytes; returns how many arrived. A failed read sets `log.error`.
std::size_t ReadLogBytes(LogStream& log, unsigned char* bytes, std::size_t size);

struct PositionRecord {
    std::int32_t T;
    float X;  // latitude, degrees * 100 + minutes
    float Y;  // longitude, degrees * 100 + minutes
};

// What ReadRecord met.
enum class ReadResult {
    Record,     // a whole record
    EndMarker,  // T was the end marker; nothing after it was read
    Short,      // the log ended (or failed) inside the record, or where one should begin
};

// Reads the 16-bit record count into `count` (0 to 65535). `count` is 0 for a log with
// no bytes at all. Returns false when the log ends inside the count or cannot be read;
// `count` is then 0.
bool ReadCount(LogStream& log, int& count);

// Reads the next record into `record`.
ReadResult ReadRecord(LogStream& log, PositionRecord& record);

// Converts a stored coordinate (degrees * 100 + minutes) to decimal degrees.
// 5012.3456 is 50 degrees 12.3456 minutes, about 50.205761; the sign carries through.
// NaN and infinity are returned unchanged.
float ConvPos(float stored);

// Prints one listing line: "POS <index>\tT: <t> X: <x> Y: <y>\n", the numbers as
// printf's "%d" and "%f" print them.
void PrintRecord(std::FILE* out, int index, std::int32_t t, double x, double y);

#endif
