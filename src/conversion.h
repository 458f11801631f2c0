// One conversion of a position log, the run itself: telling a raw log from a text dump,
// reading the count and the records, the listing, the route, and what there is to say of
// them (outcome.h). The program, the benchmark and the fuzzer all run this, and only
// this; the program adds the command line, opening and closing the files, and the exit.
#ifndef KML_CONVERSION_H
#define KML_CONVERSION_H

#include "outcome.h"
#include "position_log.h"

#include <cstdio>
#include <string>
#include <vector>

// A log ready to convert: its bytes, raw as the file gives them or a text dump's image,
// and, of a dump, what decoding it told.
struct Log {
    LogStream bytes;
    std::vector<bool> given;  // of a dump: which bytes of the image a record gave (empty:
                              // every one); the others read as erased, FF
    bool cut = false;         // a dump that ended without its end record
};

// Readies `log` to read the log in `file`: raw as it is, or a text dump decoded. Returns
// false, having said why, when the file is a dump that cannot be trusted.
bool OpenLog(std::FILE* file, const std::string& path, Log& log, Outcome& outcome);

// Converts the log: lists its records on `listing`, writes the route to `kml`, and says
// what the user should know (the log ending early, the listing failing, positions that
// are no positions); what it read goes into `outcome`. Whether the KML arrived is for its
// caller to check.
void ConvertLog(Log& log, const std::string& path, std::FILE* kml, std::FILE* listing, Outcome& outcome);

#endif
