// Text dumps of the log, as device programmers save an EEPROM: Intel HEX (`:` records)
// and Motorola S-records (`S0` to `S9`). A dump describes the raw image record by record;
// decoding it gives the very bytes a raw log of the same EEPROM holds.
//
// A log is a dump when its head is text (printable ASCII, tabs, line ends, after an
// optional UTF-8 byte order mark) and a line there begins like a record; anything else is
// raw, binary that begins with ':' or 'S' too.
#ifndef KML_TEXT_DUMP_H
#define KML_TEXT_DUMP_H

#include "position_log.h"

#include <string>

enum class DumpForm { Raw, IntelHex, SRecord };

// How many bytes at the start of a log tell its form.
constexpr std::size_t kFormHead = 1024;

// The form of a log whose first bytes (up to kFormHead of them) are `head`.
DumpForm RecogniseDump(const std::string& head);

// Why a dump cannot be trusted, and where.
struct DumpFault {
    long line = 0;                 // from 1; 0 when the fault is no line's (a read error)
    std::string reason;            // empty when the dump decoded
};

// Reads the rest of `log`, a dump of the given form, and replaces it by the image it
// describes: records in any order, gaps below the highest address FF (and not
// `log.known`), addresses beyond the largest log checked but not kept. A dump that ends without its end record gives
// the image its whole records describe, with `log.cut` set. On a fault, `log` is left
// holding nothing and the fault is returned.
DumpFault DecodeDump(DumpForm form, LogStream& log);

#endif
