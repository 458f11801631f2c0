// One conversion, from an opened log to its listing, route and outcome: telling a dump
// from a raw log, then reading each record, writing it twice, and saying how the log ended.
#include "conversion.h"

#include "kml_route.h"
#include "stream_errors.h"
#include "text_dump.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

// Degrees no place on Earth has.
bool OffTheEarth(double latitude, double longitude)
{
    return std::fabs(latitude) > 90 || std::fabs(longitude) > 180;
}

// The one rule for a file that is no position log at all (a photo, random bytes): half
// or more of the records read give no position on the Earth, being off it or not finite.
// Random bytes give one in about three records on the Earth; a logger's log, a few wild
// ones at most.
bool LooksLikePositionLog(int noPosition, int records)
{
    return 2 * static_cast<long>(noPosition) < records || records == 0;
}

// The gap of a dump's image around `at`, a byte that no record gave: its first and last
// byte.
std::pair<std::size_t, std::size_t> GapAround(const std::vector<bool>& given, std::size_t at)
{
    std::size_t first = at, last = at;
    for (; first > 0 && !given[first - 1]; --first) {
    }
    for (; last + 1 < given.size() && !given[last + 1]; ++last) {
    }
    return {first, last};
}

// Of a log that stopped at a gap of its dump (Stop::Gap): the gap's first and last byte.
// Elsewhere, where a gap would begin past the bytes read.
std::pair<std::size_t, std::size_t> EndingGap(const Log& log, const Outcome& outcome)
{
    const std::size_t read = std::min(log.bytes.at, log.given.size());
    if (outcome.stop != Stop::Gap) {
        return {read, read};
    }
    const auto marker = log.given.begin() + static_cast<std::ptrdiff_t>(read - 4);
    return GapAround(log.given, static_cast<std::size_t>(std::find(marker, marker + 4, false) - log.given.begin()));
}

// Of a text dump: says where the first bytes that the conversion read but no record gave
// lie, unless they are where the log stopped (said with how it ended).
void SayGap(const Log& log, const std::string& path, Outcome& outcome)
{
    const std::vector<bool>& given = log.given;
    const auto read = given.begin() + static_cast<std::ptrdiff_t>(std::min(log.bytes.at, given.size()));
    const std::size_t first = static_cast<std::size_t>(std::find(given.begin(), read, false) - given.begin());
    if (first < EndingGap(log, outcome).first) {
        const auto gap = GapAround(given, first);
        Say(outcome, {Message::DumpGap, path, 0, {HexAddress(gap.first), HexAddress(gap.second)}});
    }
}

// Reads the count and the records, up to the count or the end marker, listing each as
// stored and as converted, and writing each position to the route. Returns why the
// listing failed, as an errno value, or 0.
int ConvertRecords(LogStream& log, std::FILE* kml, std::FILE* listing, Outcome& outcome)
{
    int count;
    const bool countWhole = ReadCount(log, count);
    std::fprintf(listing, "Ilosc pozycji: %d\n", count);
    outcome.listingLines = 1;
    outcome.stated = countWhole ? count : -1;
    outcome.stop = countWhole ? Stop::Count : Stop::Cut;

    // The listing is a view of the conversion: when it cannot be written (a full disk, a
    // reader that quit), it stops and the route is still written whole.
    int listingError = WriteError(listing);
    int index = 0;
    for (; outcome.stop == Stop::Count && index < count; ++index) {
        PositionRecord record;
        const ReadResult result = ReadRecord(log, record);
        if (result != ReadResult::Record) {
            outcome.stop = result == ReadResult::EndMarker ? Stop::EndMarker : Stop::Cut;
            break;
        }
        const float latitude = ConvPos(record.X);
        const float longitude = ConvPos(record.Y);
        if (listingError == 0) {
            PrintRecord(listing, index, record.T, record.X, record.Y);
            PrintRecord(listing, index, record.T, latitude, longitude);
            outcome.listingLines += 2;
            listingError = WriteError(listing);
        }
        // Map clients disagree on what "nan" in a route means: such a position is listed
        // but kept out of the route.
        if (!std::isfinite(latitude) || !std::isfinite(longitude)) {
            outcome.notFinite.Add(index);
            continue;
        }
        if (record.X == 0 && record.Y == 0) {  // as a logger with no fix yet stores it
            outcome.coldStart.Add(index);
        }
        if (OffTheEarth(latitude, longitude)) {
            outcome.offTheEarth.Add(index);
        } else if (outcome.keepPositions) {
            outcome.onTheEarth.insert(outcome.onTheEarth.end(), {longitude, latitude});
        }
        WritePoint(kml, longitude, latitude);
    }
    outcome.records = index;
    outcome.route = index - outcome.notFinite.count;
    return listingError;
}

// Says what the records hold that the user should know: bytes of a dump that no record
// gave, positions not finite or off the Earth, and a file that is no position log at all.
void SayWhatTheRecordsHold(const Log& log, const std::string& path, Outcome& outcome)
{
    const auto said = [](const Tally& tally) { return std::vector<std::string>{std::to_string(tally.count),
                                                                               std::to_string(tally.first)}; };
    SayGap(log, path, outcome);
    if (outcome.notFinite.count > 0) {
        Say(outcome, {Message::NotFinite, path, 0, said(outcome.notFinite)});
    }
    if (outcome.offTheEarth.count > 0) {
        Say(outcome, {Message::OffTheEarth, path, 0, said(outcome.offTheEarth)});
    }
    if (outcome.coldStart.count > 0) {
        Say(outcome, {Message::ColdStart, path, 0, said(outcome.coldStart)});
    }
    const int noPosition = outcome.notFinite.count + outcome.offTheEarth.count;
    const int records = outcome.records;
    if (!LooksLikePositionLog(noPosition, records)) {
        Say(outcome, {Message::NotAPositionLog, path, 0, {std::to_string(noPosition), std::to_string(records)}});
    }
}

// Says why the log, or the dump that holds it, ended before its count or end marker, or at
// a gap of the dump.
void SayHowTheLogEnded(const Log& log, const std::string& path, Outcome& outcome)
{
    if (log.cut) {
        Say(outcome, {Message::DumpCut, path});
    }
    if (outcome.stop == Stop::Gap) {
        const auto gap = EndingGap(log, outcome);
        Say(outcome, {Message::DumpGapEndsLog, path, 0,
                      {HexAddress(gap.first), HexAddress(gap.second), std::to_string(outcome.stated - outcome.records),
                       std::to_string(outcome.stated)}});
    }
    if (outcome.stop != Stop::Cut) {
        return;
    }
    if (log.bytes.error != 0) {
        Say(outcome, {Message::LogUnreadable, path, 0, {std::strerror(log.bytes.error)}});
    } else if (outcome.stated < 0) {
        Say(outcome, {Message::LogEndsInCount, path});
    } else {
        Say(outcome,
            {Message::LogEndsEarly, path, 0, {std::to_string(outcome.records), std::to_string(outcome.stated)}});
    }
}

// Reads what is left of `file` after `text`, into it, up to one byte more than the largest
// dump; false when the file cannot be read.
bool ReadTheRest(std::FILE* file, std::string& text)
{
    errno = 0;
    for (;;) {
        const std::size_t had = text.size();
        const std::size_t room = std::min(kLargestDump + 1, 2 * had + 4096) - had;
        text.resize(had + room);
        const std::size_t got = std::fread(&text[had], 1, room, file);
        text.resize(had + got);
        if (got < room || text.size() > kLargestDump) {
            return !std::ferror(file);
        }
    }
}

}  // namespace

bool OpenLog(std::FILE* file, const std::string& path, Log& log, Outcome& outcome)
{
    log = Log{};
    LogStream& bytes = log.bytes;
    bytes.file = file;
    bytes.held.resize(kFormatHead);
    bytes.held.resize(std::fread(bytes.held.data(), 1, kFormatHead, file));
    const LogFormat format = RecogniseDump(bytes.held);
    if (format.syntax == RecordSyntax::None) {
        return true;
    }
    // A dump is read whole, and decoded from memory.
    std::string& text = bytes.held;
    if (!ReadTheRest(file, text) || text.size() > kLargestDump) {
        Say(outcome, std::ferror(file) ? Diagnostic{Message::DumpUnreadable, path, 0, {std::strerror(LastError())}}
                                       : Diagnostic{Message::DumpTooLarge, path});
        return false;
    }
    DecodedDump dump = DecodeDump(format, text);
    if (dump.fault) {
        dump.fault->path = path;
        Say(outcome, std::move(*dump.fault));
        return false;
    }
    bytes = LogStream{};
    bytes.held = std::move(dump.image.bytes);
    log.given = std::move(dump.image.given);
    log.cut = dump.image.cut;
    return true;
}

void ConvertLog(Log& log, const std::string& path, std::FILE* kml, std::FILE* listing, Outcome& outcome)
{
    WriteHeader(kml);
    int listingError = ConvertRecords(log.bytes, kml, listing, outcome);
    // An end marker made of bytes that no record of the dump held is no logger's.
    if (outcome.stop == Stop::EndMarker && !log.given.empty()) {
        const auto marker = log.given.begin() + static_cast<std::ptrdiff_t>(log.bytes.at);
        if (std::find(marker - 4, marker, false) != marker) {
            outcome.stop = Stop::Gap;
        }
    }
    WriteFooter(kml);
    SayWhatTheRecordsHold(log, path, outcome);
    SayHowTheLogEnded(log, path, outcome);
    listingError = listingError != 0 ? listingError : FlushError(listing);
    if (listingError != 0) {
        Say(outcome, {Message::ListingFailed, "standard output", 0, {std::strerror(listingError)}});
    }
}
