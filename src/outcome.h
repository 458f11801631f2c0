// What a run of the program came to, as data: the exit statuses, every diagnostic the
// program can give (each an entry with an id, the status it sets, if any, and its English
// words), and what the run found in the log. The command line prints
// each diagnostic as it is said and exits with the status the outcome gives; the page
// reads the same record (HandOver, in platform.h) and says it in its reader's language.
#ifndef KML_OUTCOME_H
#define KML_OUTCOME_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

constexpr int kConverted = 0;
constexpr int kNothingConverted = 1;
constexpr int kLogIncomplete = 2;
constexpr int kListingFailed = 3;
constexpr int kKmlFailed = 255;

struct StatusName {
    int code;
    const char* name;  // as the page knows it
};

// Every exit status, in the order that decides between them: when more than one applies,
// the first listed wins (0 is only the status when nothing else applies).
inline constexpr StatusName kStatuses[] = {
    {kNothingConverted, "nothingConverted"},
    {kKmlFailed, "kmlFailed"},
    {kLogIncomplete, "logIncomplete"},
    {kListingFailed, "listingFailed"},
    {kConverted, "converted"},
};

// Each thing the program can say: its name, its id (stable, for the page's words), the
// status it sets, and its English words, each "%s" standing for the next value. One with
// a status is an error, and the run ends with the first such status in kStatuses; one with
// kConverted is a warning.
#define KML_MESSAGES(X)                                                                                                \
    X(LogUnopenable, "log-unopenable", kNothingConverted, "%s")                                                        \
    X(LogIsListing, "log-is-listing", kNothingConverted,                                                               \
      "is where the listing goes (standard output); refusing to read the log from it")                                 \
    X(DumpBadCharacter, "dump-bad-character", kNothingConverted, "bad character in record")                            \
    X(DumpWrongLength, "dump-wrong-length", kNothingConverted, "wrong record length")                                  \
    X(DumpUnknownType, "dump-unknown-type", kNothingConverted, "unknown record type")                                  \
    X(DumpChecksum, "dump-checksum", kNothingConverted, "checksum mismatch")                                           \
    X(DumpNotIntelHex, "dump-not-intel-hex", kNothingConverted, "not an Intel HEX record")                             \
    X(DumpNotSRecord, "dump-not-srecord", kNothingConverted, "not an S-record")                                        \
    X(DumpDisagrees, "dump-disagrees", kNothingConverted, "records give one address different bytes")                  \
    X(DumpCountMismatch, "dump-count-mismatch", kNothingConverted, "record count mismatch")                            \
    X(DumpUnreadable, "dump-unreadable", kNothingConverted, "%s")                                                      \
    X(DumpTooLarge, "dump-too-large", kNothingConverted, "is larger than 64 MiB, which no dump of a log is")           \
    X(DumpOutOfRange, "dump-out-of-range", kNothingConverted, "no record holds a byte of the log; the first is at %s") \
    X(DumpNoData, "dump-no-data", kNothingConverted, "no record holds a byte of the log")                              \
    X(DumpGap, "dump-gap", kConverted, "bytes %s to %s are in no record; read as erased (FF)")                         \
    X(DumpCut, "dump-cut", kLogIncomplete, "dump has no end record; it was cut off")                                   \
    X(DumpGapEndsLog, "dump-gap-ends-log", kLogIncomplete,                                                             \
      "log stops at bytes %s to %s, which no record holds; %s of its %s records were not read")                        \
    X(LogUnreadable, "log-unreadable", kLogIncomplete, "%s")                                                           \
    X(LogEndsInCount, "log-ends-in-count", kLogIncomplete, "log ends inside the record count")                         \
    X(LogEndsEarly, "log-ends-early", kLogIncomplete, "log ends after %s of %s records, with no end marker")           \
    X(NotFinite, "not-finite", kConverted,                                                                             \
      "%s position(s) left out of the route, coordinates not finite (first at POS %s)")                                \
    X(OffTheEarth, "off-the-earth", kConverted,                                                                        \
      "%s position(s) beyond 90 degrees of latitude or 180 of longitude (first at POS %s)")                            \
    X(ColdStart, "cold-start", kConverted,                                                                             \
      "%s position(s) at exactly 0 degrees latitude and longitude, where a logger puts them while it has no fix "      \
      "(first at POS %s)")                                                                                             \
    X(NotAPositionLog, "not-a-position-log", kConverted,                                                               \
      "does not look like a position log: no position on the Earth in %s of the %s records read")                      \
    X(ListingFailed, "listing-failed", kListingFailed, "%s")                                                           \
    X(KmlIsLog, "kml-is-log", kNothingConverted, "is the log itself; refusing to overwrite it")                        \
    X(KmlIsListing, "kml-is-listing", kNothingConverted,                                                               \
      "is where the listing goes (standard output); refusing to write the KML there too")                              \
    X(KmlCannotCreate, "kml-cannot-create", kNothingConverted, "cannot create the KML: %s")                            \
    X(KmlLinkToNothing, "kml-link-to-nothing", kNothingConverted, "is a link to nothing; refusing to write through it") \
    X(KmlUnopenable, "kml-unopenable", kNothingConverted, "%s")                                                        \
    X(KmlBlockDevice, "kml-block-device", kNothingConverted, "is a block device; refusing to write a KML onto it")     \
    X(KmlUnreadable, "kml-unreadable", kNothingConverted, "cannot be read to check that it is a KML: %s")              \
    X(KmlNotKml, "kml-not-kml", kNothingConverted, "exists and is not a KML document; refusing to overwrite it")       \
    X(KmlChanged, "kml-changed", kNothingConverted, "was changed while the log was read; refusing to overwrite it")    \
    X(KmlChangedMoved, "kml-changed-moved", kNothingConverted,                                                         \
      "was changed while the log was read; what was there is now %s")                                                  \
    X(KmlKept, "kml-kept", kKmlFailed, "%s; the KML was left as it was")                                               \
    X(KmlUnsynced, "kml-unsynced", kKmlFailed, "%s; the KML is in place, but its folder could not be synced to the disk") \
    X(KmlNewFileLeft, "kml-new-file-left", kConverted, "the new file could not be removed, and is left as %s: %s")     \
    X(KmlOldFileLeft, "kml-old-file-left", kConverted, "the old KML could not be removed, and is left as %s: %s")      \
    X(KmlNotCreated, "kml-not-created", kKmlFailed, "%s; no KML was created")                                          \
    X(KmlIncomplete, "kml-incomplete", kKmlFailed, "%s; the KML is incomplete")                                        \
    X(KmlUnwritten, "kml-unwritten", kKmlFailed, "%s")

#define KML_MESSAGE_NAME(name, id, status, words) name,
enum class Message { KML_MESSAGES(KML_MESSAGE_NAME) };
#undef KML_MESSAGE_NAME

struct MessageEntry {
    const char* id;
    int status;
    const char* words;
};

// Every entry, in the order of Message.
#define KML_MESSAGE_ENTRY(name, id, status, words) {id, status, words},
inline constexpr MessageEntry kMessages[] = {KML_MESSAGES(KML_MESSAGE_ENTRY)};
#undef KML_MESSAGE_ENTRY

// The entry of what was said.
constexpr const MessageEntry& EntryOf(Message message)
{
    return kMessages[static_cast<std::size_t>(message)];
}

// One diagnostic as it was said: "kml: PATH: line LINE: " (the line only where there is
// one), then the entry's words with its values.
struct Diagnostic {
    Message message;
    std::string path;
    long line = 0;  // from 1; 0 when it is no line's
    std::vector<std::string> values = {};
};

// Where reading the log's records stopped.
enum class Stop {
    Unread,     // nothing was converted
    Count,      // after as many records as its count says
    EndMarker,  // at its end marker
    Gap,        // at bytes that read as the end marker, but that no record of its dump held
    Cut,        // where it ended, or could not be read, before its count or end marker
};

// A count of positions of one kind, and the first of them.
struct Tally {
    int count = 0;
    int first = 0;

    void Add(int index)
    {
        if (count++ == 0) {
            first = index;
        }
    }
};

struct Outcome {
    std::FILE* messageStream = nullptr;  // where each diagnostic is written as it is said
    std::vector<Diagnostic> diagnostics;
    std::string logPath;      // the log read and where the KML goes, as the command line
    std::string kmlPath;      // named them
    bool kmlWritten = false;  // a KML is at the path, whole
    int stated = -1;          // the record count the log states; -1 when none was read
    int records = 0;          // records read whole
    int listingLines = 0;     // lines of the listing written: the count's, two a record
    Stop stop = Stop::Unread;
    int route = 0;        // positions in the route
    Tally offTheEarth;    // of those, beyond 90 degrees of latitude or 180 of longitude
    Tally notFinite;      // records listed but left out of the route
    Tally coldStart;      // positions at exactly 0, 0
    bool keepPositions = false;
    std::vector<double> onTheEarth;  // if kept: longitude, latitude of each position in the
                                     // route that lies on the Earth, as written
};

// An address in the log as the messages give it: "0x" and at least four hex digits.
std::string HexAddress(std::uint64_t address);

// Says `diagnostic` on `outcome.messageStream`, in one write, and keeps it.
void Say(Outcome& outcome, Diagnostic diagnostic);

// The exit status the outcome gives: of the errors said, the status listed first in
// kStatuses; kConverted when none was said.
int ExitStatus(const Outcome& outcome);

#endif
