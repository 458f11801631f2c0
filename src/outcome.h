// What a run of the program came to, as data: the exit statuses and what each means,
// every diagnostic the program can give (each an entry with an id, the status it sets, if
// any, and its English words), and what the run found in the log. The command line prints
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
constexpr int kKmlFailed = 255;  // returned as -1, which POSIX shells show as 255

struct StatusMeaning {
    int code;
    const char* meaning;  // one line, as the README and the manual page say it
};

// Every exit status, in the order that decides between them: when more than one applies,
// the first listed wins (0 is only the status when nothing else applies).
extern const std::vector<StatusMeaning> kStatuses;

// Each thing the program can say. A diagnostic with a status is an error, and the run ends
// with the first such status in kStatuses; one without is a warning.
enum class Message {
    LogUnopenable,
    DumpBadCharacter,
    DumpWrongLength,
    DumpUnknownType,
    DumpChecksum,
    DumpNotIntelHex,
    DumpNotSRecord,
    DumpDisagrees,
    DumpCountMismatch,
    DumpUnreadable,
    DumpOutOfRange,
    DumpNoData,
    DumpGap,
    DumpCut,
    LogUnreadable,
    LogEndsInCount,
    LogEndsEarly,
    NotFinite,
    OffTheEarth,
    NotAPositionLog,
    ListingFailed,
    KmlIsLog,
    KmlIsListing,
    KmlCannotCreate,
    KmlLinkToNothing,
    KmlUnopenable,
    KmlBlockDevice,
    KmlUnreadable,
    KmlNotKml,
    KmlChanged,
    KmlChangedMoved,
    KmlKept,
    KmlUnsynced,
    KmlNewFileLeft,
    KmlNotCreated,
    KmlIncomplete,
    KmlUnwritten,  // the last: kMessages ends with it
};

struct MessageEntry {
    Message message;
    const char* id;     // stable, for the page's words: "dump-checksum"
    int status;         // kConverted for a warning
    const char* words;  // each "%s" stands for the next value
};

// Every entry, in the order of Message (which the compiler checks).
extern const std::vector<MessageEntry> kMessages;

// The entry of what was said.
const MessageEntry& EntryOf(Message message);

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
    Cut,        // where it ended, or could not be read, before its count or end marker
};

struct Outcome {
    std::FILE* messageStream = nullptr;  // where each diagnostic is written as it is said
    std::vector<Diagnostic> diagnostics;
    std::string kmlPath;      // where the KML goes, as the command line named it
    bool kmlWritten = false;  // a KML is at the path, whole
    int stated = -1;          // the record count the log states; -1 when none was read
    int records = 0;          // records read whole
    int listingLines = 0;     // lines of the listing written: the count's, two a record
    Stop stop = Stop::Unread;
    int route = 0;        // positions in the route
    int offTheEarth = 0;  // of those, beyond 90 degrees of latitude or 180 of longitude
    int notFinite = 0;    // records listed but left out of the route
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
