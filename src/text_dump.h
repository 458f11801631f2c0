// Text dumps of the log, as device programmers save an EEPROM: Intel HEX (`:` records)
// and Motorola S-records (`S0` to `S9`). A dump describes the raw image record by record;
// decoding it gives the very bytes a raw log of the same EEPROM holds.
//
// A log is a dump when its head is text (no control characters but tabs and line ends;
// a DOS end-of-file byte or NUL padding at its end is no content) and a line there begins
// like a record; anything else is raw, binary that begins with ':' or 'S' too. The text
// may be 8-bit, after an optional UTF-8 byte order mark, or UTF-16 in either byte order:
// with its byte order mark, or without one where most of its characters are ASCII.
// Characters beyond ASCII may stand only in comments.
#ifndef KML_TEXT_DUMP_H
#define KML_TEXT_DUMP_H

#include "outcome.h"
#include "position_log.h"
#include "text_encoding.h"

#include <optional>
#include <string>
#include <vector>

enum class RecordSyntax { None, IntelHex, SRecord };  // None: no records, a raw log

struct LogFormat {
    RecordSyntax syntax = RecordSyntax::None;
    Encoding encoding = Encoding::Bytes;
};

// How many bytes at the start of a log tell its format.
constexpr std::size_t kFormatHead = 1024;

// The largest dump that is read: far more than the text of any log (2.2 MB as Intel HEX,
// twice that in UTF-16).
constexpr std::size_t kLargestDump = std::size_t{64} << 20;

// The format of a log whose first bytes (up to kFormatHead of them) are `head`.
LogFormat RecogniseDump(const std::string& head);

// What a dump describes: the log's image, from address 0 to its highest byte (records
// beyond the largest log are checked but not kept), erased (FF) where no record gave a
// byte.
struct DumpImage {
    std::string bytes;
    std::vector<bool> given;  // which bytes of the image a record gave; empty while
                              // every one did
    bool cut = false;         // the dump ended without its end record: the image is what
                              // its whole records describe
};

struct DecodedDump {
    DumpImage image;                  // empty on a fault
    std::optional<Diagnostic> fault;  // why the dump cannot be trusted, and on which line;
                                      // its path is for the caller to give
};

// Decodes the dump of the given format whose every byte is `bytes`: records in any order.
// A dump whose records all lie beyond the largest log is a fault.
DecodedDump DecodeDump(LogFormat format, const std::string& bytes);

#endif
