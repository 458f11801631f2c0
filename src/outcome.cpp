// The outcome's tables (the exit statuses, every diagnostic's id, status and words), and
// each diagnostic said on one line, whatever bytes its path and values hold.
#include "outcome.h"

#include <algorithm>
#include <cstring>
#include <iterator>

const std::vector<StatusMeaning> kStatuses = {
    {kNothingConverted, "nothing was converted; the KML path is as it was"},
    {kKmlFailed, "the KML could not be written whole"},
    {kLogIncomplete, "the log ends early; the KML holds every whole record before that point"},
    {kListingFailed, "the listing could not be written whole; the KML is complete"},
    {kConverted, "the log was converted"},
};

namespace {

constexpr MessageEntry kEntries[] = {
    {Message::LogUnopenable, "log-unopenable", kNothingConverted, "%s"},
    {Message::DumpBadCharacter, "dump-bad-character", kNothingConverted, "bad character in record"},
    {Message::DumpWrongLength, "dump-wrong-length", kNothingConverted, "wrong record length"},
    {Message::DumpUnknownType, "dump-unknown-type", kNothingConverted, "unknown record type"},
    {Message::DumpChecksum, "dump-checksum", kNothingConverted, "checksum mismatch"},
    {Message::DumpNotIntelHex, "dump-not-intel-hex", kNothingConverted, "not an Intel HEX record"},
    {Message::DumpNotSRecord, "dump-not-srecord", kNothingConverted, "not an S-record"},
    {Message::DumpDisagrees, "dump-disagrees", kNothingConverted, "records give one address different bytes"},
    {Message::DumpCountMismatch, "dump-count-mismatch", kNothingConverted, "record count mismatch"},
    {Message::DumpUnreadable, "dump-unreadable", kNothingConverted, "%s"},
    {Message::DumpOutOfRange, "dump-out-of-range", kNothingConverted,
     "no record holds a byte of the log; the first is at %s"},
    {Message::DumpNoData, "dump-no-data", kNothingConverted, "no record holds a byte of the log"},
    {Message::DumpGap, "dump-gap", kConverted, "bytes %s to %s are in no record; read as erased (FF)"},
    {Message::DumpCut, "dump-cut", kLogIncomplete, "dump has no end record; it was cut off"},
    {Message::LogUnreadable, "log-unreadable", kLogIncomplete, "%s"},
    {Message::LogEndsInCount, "log-ends-in-count", kLogIncomplete, "log ends inside the record count"},
    {Message::LogEndsEarly, "log-ends-early", kLogIncomplete, "log ends after %s of %s records, with no end marker"},
    {Message::NotFinite, "not-finite", kConverted,
     "%s position(s) left out of the route, coordinates not finite (first at POS %s)"},
    {Message::OffTheEarth, "off-the-earth", kConverted,
     "%s position(s) beyond 90 degrees of latitude or 180 of longitude (first at POS %s)"},
    {Message::NotAPositionLog, "not-a-position-log", kConverted,
     "does not look like a position log: no position on the Earth in %s of the %s records read"},
    {Message::ListingFailed, "listing-failed", kListingFailed, "%s"},
    {Message::KmlIsLog, "kml-is-log", kNothingConverted, "is the log itself; refusing to overwrite it"},
    {Message::KmlIsListing, "kml-is-listing", kNothingConverted,
     "is where the listing goes (standard output); refusing to write the KML there too"},
    {Message::KmlCannotCreate, "kml-cannot-create", kNothingConverted, "cannot create the KML: %s"},
    {Message::KmlLinkToNothing, "kml-link-to-nothing", kNothingConverted,
     "is a link to nothing; refusing to write through it"},
    {Message::KmlUnopenable, "kml-unopenable", kNothingConverted, "%s"},
    {Message::KmlBlockDevice, "kml-block-device", kNothingConverted, "is a block device; refusing to write a KML onto it"},
    {Message::KmlUnreadable, "kml-unreadable", kNothingConverted, "cannot be read to check that it is a KML"},
    {Message::KmlNotKml, "kml-not-kml", kNothingConverted, "exists and is not a KML document; refusing to overwrite it"},
    {Message::KmlChanged, "kml-changed", kNothingConverted,
     "was changed while the log was read; refusing to overwrite it"},
    {Message::KmlChangedMoved, "kml-changed-moved", kNothingConverted,
     "was changed while the log was read; what was there is now %s"},
    {Message::KmlKept, "kml-kept", kKmlFailed, "%s; the KML was left as it was"},
    {Message::KmlUnsynced, "kml-unsynced", kKmlFailed,
     "%s; the KML is in place, but its folder could not be synced to the disk"},
    {Message::KmlNewFileLeft, "kml-new-file-left", kConverted, "the new file could not be removed, and is left as %s: %s"},
    {Message::KmlNotCreated, "kml-not-created", kKmlFailed, "%s; no KML was created"},
    {Message::KmlIncomplete, "kml-incomplete", kKmlFailed, "%s; the KML is incomplete"},
    {Message::KmlUnwritten, "kml-unwritten", kKmlFailed, "%s"},
};

// Each entry stands where its message's number says, and none is missing at the end.
constexpr bool InOrderOfMessage()
{
    std::size_t k = 0;
    for (const MessageEntry& entry : kEntries) {
        if (static_cast<std::size_t>(entry.message) != k++) {
            return false;
        }
    }
    return kEntries[k - 1].message == Message::KmlUnwritten;
}
static_assert(InOrderOfMessage(), "kMessages must list every Message, in its order");

}  // namespace

const std::vector<MessageEntry> kMessages(std::begin(kEntries), std::end(kEntries));

namespace {

// How many bytes the printable UTF-8 character at `at` takes: 0 for a byte that begins
// none, and for a control character (C0, DEL, C1) or a line or paragraph separator
// (U+2028, U+2029), which a terminal may take for a line end.
std::size_t PrintableAt(const std::string& text, std::size_t at)
{
    const auto byte = [&](std::size_t k) { return at + k < text.size() ? static_cast<unsigned char>(text[at + k]) : 0u; };
    const unsigned lead = byte(0);
    if (lead < 0x80) {
        return lead >= 0x20 && lead != 0x7F ? 1 : 0;
    }
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    unsigned point = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xC0) != 0x80) {
            return 0;
        }
        point = point << 6 | (byte(k) & 0x3F);
    }
    const bool shortest = length == 2 || (length == 3 && point >= 0x800) || (length == 4 && point >= 0x10000);
    const bool character = point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF);
    const bool control = point < 0xA0 || point == 0x2028 || point == 0x2029;
    return length != 0 && shortest && character && !control ? length : 0;
}

// A path or value as one line shows it, escaped as `ls -b` shows what is not printable:
// \n, \t and the like, and any other byte as \ooo (\033, \302\205 for U+0085).
std::string Shown(const std::string& text)
{
    std::string shown;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t printable = PrintableAt(text, at);
        if (printable != 0) {
            shown.append(text, at, printable);
            at += printable;
            continue;
        }
        const char c = text[at++];
        // Each control character that C names by a letter, followed by that letter.
        const char* const escape = c != 0 ? std::strchr("\aa\bb\tt\nn\vv\ff\rr", c) : nullptr;
        if (escape != nullptr) {
            shown += {'\\', escape[1]};
        } else {
            char octal[8];
            std::snprintf(octal, sizeof octal, "\\%03o", static_cast<unsigned char>(c));
            shown += octal;
        }
    }
    return shown;
}

}  // namespace

std::string HexAddress(std::uint64_t address)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%04llX", static_cast<unsigned long long>(address));
    return text;
}

const MessageEntry& EntryOf(Message message)
{
    return kMessages[static_cast<std::size_t>(message)];
}

void Say(Outcome& outcome, Diagnostic diagnostic)
{
    std::string line = "kml: " + Shown(diagnostic.path) + ": ";
    if (diagnostic.line > 0) {
        line += "line " + std::to_string(diagnostic.line) + ": ";
    }
    auto value = diagnostic.values.begin();
    for (const char* words = EntryOf(diagnostic.message).words; *words != '\0'; ++words) {
        if (words[0] == '%' && words[1] == 's' && value != diagnostic.values.end()) {
            line += Shown(*value++);
            ++words;
        } else {
            line += *words;
        }
    }
    line += '\n';
    std::fputs(line.c_str(), outcome.messageStream);
    outcome.diagnostics.push_back(std::move(diagnostic));
}

int ExitStatus(const Outcome& outcome)
{
    for (const StatusMeaning& status : kStatuses) {
        const auto gives = [&](const Diagnostic& diagnostic) { return EntryOf(diagnostic.message).status == status.code; };
        const bool said = std::any_of(outcome.diagnostics.begin(), outcome.diagnostics.end(), gives);
        if (said) {
            return status.code;
        }
    }
    return kConverted;
}
