#include "outcome.h"

#include <algorithm>
#include <cstring>

const std::vector<StatusMeaning> kStatuses = {
    {kNothingConverted, "nothing was converted; the KML path is as it was"},
    {kKmlFailed, "the KML could not be written whole"},
    {kLogIncomplete, "the log ends early; the KML holds every whole record before that point"},
    {kListingFailed, "the listing could not be written whole; the KML is complete"},
    {kConverted, "the log was converted"},
};

const std::vector<Saying> kSayings = {
    {Said::LogUnopenable, "log-unopenable", kNothingConverted, "%s"},
    {Said::DumpBadCharacter, "dump-bad-character", kNothingConverted, "bad character in record"},
    {Said::DumpWrongLength, "dump-wrong-length", kNothingConverted, "wrong record length"},
    {Said::DumpUnknownType, "dump-unknown-type", kNothingConverted, "unknown record type"},
    {Said::DumpChecksum, "dump-checksum", kNothingConverted, "checksum mismatch"},
    {Said::DumpNotIntelHex, "dump-not-intel-hex", kNothingConverted, "not an Intel HEX record"},
    {Said::DumpNotSRecord, "dump-not-srecord", kNothingConverted, "not an S-record"},
    {Said::DumpDisagrees, "dump-disagrees", kNothingConverted, "records give one address different bytes"},
    {Said::DumpCountMismatch, "dump-count-mismatch", kNothingConverted, "record count mismatch"},
    {Said::DumpUnreadable, "dump-unreadable", kNothingConverted, "%s"},
    {Said::DumpOutOfRange, "dump-out-of-range", kNothingConverted,
     "no record holds a byte of the log; the first is at %s"},
    {Said::DumpNoData, "dump-no-data", kNothingConverted, "no record holds a byte of the log"},
    {Said::DumpGap, "dump-gap", kConverted, "bytes %s to %s are in no record; read as erased (FF)"},
    {Said::DumpCut, "dump-cut", kLogIncomplete, "dump has no end record; it was cut off"},
    {Said::LogUnreadable, "log-unreadable", kLogIncomplete, "%s"},
    {Said::LogEndsInCount, "log-ends-in-count", kLogIncomplete, "log ends inside the record count"},
    {Said::LogEndsEarly, "log-ends-early", kLogIncomplete, "log ends after %s of %s records, with no end marker"},
    {Said::NotFinite, "not-finite", kConverted,
     "%s position(s) left out of the route, coordinates not finite (first at POS %s)"},
    {Said::OffTheEarth, "off-the-earth", kConverted,
     "%s position(s) beyond 90 degrees of latitude or 180 of longitude (first at POS %s); is this a position log?"},
    {Said::ListingFailed, "listing-failed", kListingFailed, "%s"},
    {Said::KmlIsLog, "kml-is-log", kNothingConverted, "is the log itself; refusing to overwrite it"},
    {Said::KmlCannotCreate, "kml-cannot-create", kNothingConverted, "cannot create the KML: %s"},
    {Said::KmlLinkToNothing, "kml-link-to-nothing", kNothingConverted,
     "is a link to nothing; refusing to write through it"},
    {Said::KmlUnopenable, "kml-unopenable", kNothingConverted, "%s"},
    {Said::KmlBlockDevice, "kml-block-device", kNothingConverted, "is a block device; refusing to write a KML onto it"},
    {Said::KmlUnreadable, "kml-unreadable", kNothingConverted, "cannot be read to check that it is a KML"},
    {Said::KmlNotKml, "kml-not-kml", kNothingConverted, "exists and is not a KML document; refusing to overwrite it"},
    {Said::KmlChanged, "kml-changed", kNothingConverted,
     "was changed while the log was read; refusing to overwrite it"},
    {Said::KmlChangedMoved, "kml-changed-moved", kNothingConverted,
     "was changed while the log was read; what was there is now %s"},
    {Said::KmlKept, "kml-kept", kKmlFailed, "%s; the KML was left as it was"},
    {Said::KmlNotCreated, "kml-not-created", kKmlFailed, "%s; no KML was created"},
    {Said::KmlIncomplete, "kml-incomplete", kKmlFailed, "%s; the KML is incomplete"},
    {Said::KmlUnwritten, "kml-unwritten", kKmlFailed, "%s"},
};

namespace {

// A path as one line shows it: control characters escaped as `ls -b` shows them (\n,
// \t, \033).
std::string Shown(const std::string& path)
{
    std::string shown;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        // Each control character that C names by a letter, followed by that letter.
        const char* const escape = byte != 0 ? std::strchr("\aa\bb\tt\nn\vv\ff\rr", c) : nullptr;
        if (byte >= 0x20 && byte != 0x7F) {
            shown += c;
        } else if (escape != nullptr) {
            shown += {'\\', escape[1]};
        } else {
            char octal[8];
            std::snprintf(octal, sizeof octal, "\\%03o", byte);
            shown += octal;
        }
    }
    return shown;
}

}  // namespace

const Saying& SayingOf(Said said)
{
    return kSayings[static_cast<std::size_t>(said)];
}

void Complain(Outcome& outcome, Diagnostic diagnostic)
{
    std::string line = "kml: " + Shown(diagnostic.path) + ": ";
    if (diagnostic.line > 0) {
        line += "line " + std::to_string(diagnostic.line) + ": ";
    }
    auto value = diagnostic.values.begin();
    for (const char* words = SayingOf(diagnostic.said).words; *words != '\0'; ++words) {
        if (words[0] == '%' && words[1] == 's' && value != diagnostic.values.end()) {
            line += *value++;
            ++words;
        } else {
            line += *words;
        }
    }
    line += '\n';
    std::fputs(line.c_str(), outcome.messages);
    outcome.said.push_back(std::move(diagnostic));
}

int ExitStatus(const Outcome& outcome)
{
    for (const StatusMeaning& status : kStatuses) {
        const bool said = std::any_of(outcome.said.begin(), outcome.said.end(), [&](const Diagnostic& diagnostic) {
            return SayingOf(diagnostic.said).status == status.code;
        });
        if (said) {
            return status.code;
        }
    }
    return kConverted;
}
