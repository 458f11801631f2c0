// One conversion of a position log, the run itself: telling a raw log from a text dump,
// reading the count and the records, the listing, the route, the warnings and what makes
// the status 2 or 3. The program, the benchmark and the fuzzer all run this, and only
// this; the program adds the command line, opening and closing the files, and the exit.
#ifndef KML_CONVERSION_H
#define KML_CONVERSION_H

#include "position_log.h"

#include <cstdio>
#include <string>
#include <vector>

constexpr int kConverted = 0;
constexpr int kNothingConverted = 1;  // the log cannot be opened or trusted, or the KML
                                      // file must not or cannot be written
constexpr int kLogIncomplete = 2;     // the log, or the dump that holds it, ends early
constexpr int kListingFailed = 3;     // the listing could not be written whole
constexpr int kKmlFailed = -1;        // the KML file could not be written; the shell sees 255

#if defined(__GNUC__)
#define KML_PRINTF_LIKE(formatAt, argumentsAt) __attribute__((format(printf, formatAt, argumentsAt)))
#else
#define KML_PRINTF_LIKE(formatAt, argumentsAt)
#endif

// Writes one diagnostic line, "kml: PATH: " and the reason as printf formats it, to
// `messages`, in one write.
void Complain(std::FILE* messages, const std::string& path, const char* format, ...) KML_PRINTF_LIKE(3, 4);

// The reason for the last failed call, as an errno value; EIO when the library left none.
int LastError();

// Flushes a stream; returns 0 when everything written to it arrived, else the reason as
// an errno value.
int FlushError(std::FILE* stream);

// A log ready to convert: its bytes, raw as the file gives them or a text dump's image,
// and, of a dump, what decoding it told.
struct Log {
    LogStream bytes;
    std::vector<bool> given;  // of a dump: which bytes of the image a record gave (empty:
                              // every one); the others read as erased, FF
    bool cut = false;         // a dump that ended without its end record
};

// Readies `log` to read the log in `file`: raw as it is, or a text dump decoded. Returns
// false, having said why on `messages`, when the file is a dump that cannot be trusted.
bool OpenLog(std::FILE* file, const std::string& path, Log& log, std::FILE* messages);

// Converts the log: lists its records on `listing`, writes the route to `kml` and says on
// `messages` what the user should know. Returns kConverted, kLogIncomplete or
// kListingFailed (2 outranks 3); whether the KML arrived is for its caller to check.
int ConvertLog(Log& log, const std::string& path, std::FILE* kml, std::FILE* listing, std::FILE* messages);

#endif
