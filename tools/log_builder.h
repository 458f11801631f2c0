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

// Turns a description into log bytes. On a malformed line, returns false and says why
// in `error`.
bool BuildLog(std::istream& description, std::string& log, std::string& error);

#endif
