// Builds position logs from a short text description, for the bundled sample, the
// tests and the fuzzing corpus.
//
// One item per line; '#' starts a comment:
//   count N          the 16-bit record count
//   record T X Y     one record: T a 32-bit integer, X and Y decimal ("nan", "inf" too)
//   end              the end marker, FF FF FF FF
//   bytes HH ...     raw bytes in hex, for logs that end in odd places
//   random SEED      a whole random log, the same for the same SEED: a count, then words
//                    that are often NaN, infinity, huge or tiny, or the end marker; a
//                    third of such logs end anywhere
#ifndef KML_LOG_BUILDER_H
#define KML_LOG_BUILDER_H

#include <cstdint>
#include <istream>
#include <string>

// Appends the little-endian bytes of each field to `log`.
void AppendCount(std::string& log, unsigned count);
void AppendRecord(std::string& log, std::int32_t t, float x, float y);
void AppendEndMarker(std::string& log);
void AppendRandomLog(std::string& log, unsigned seed);

// A log of `count` records (65,535 for a full log) that wander over a few degrees, their
// minutes kept below 60: the walk the benchmarks convert (the page's is web/log.js).
std::string Walk(int count);

// The log `image` as a text dump, `perLine` data bytes (1 to 250) a record, the records
// in address order or, for an `order` other than 0, shuffled by it. Intel HEX gives each
// record's upper address in a type 04 record where it changes, and ends with type 01.
// S-records use S1 below 64 KiB and S2 above, or S3 throughout with `longAddresses`, then
// give the count (S5) and the end (S9).
std::string IntelHexDump(const std::string& image, std::size_t perLine, unsigned order);
std::string SRecordDump(const std::string& image, std::size_t perLine, unsigned order, bool longAddresses);

// Turns a description into log bytes. On a malformed line, returns false and says why
// in `error`.
bool BuildLog(std::istream& description, std::string& log, std::string& error);

#endif
