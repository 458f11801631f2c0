#include "conversion.h"

#include "kml_route.h"
#include "text_dump.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cmath>
#include <cstring>

namespace {

// The reason a stream's writes failed, as an errno value; 0 while they have not.
int WriteError(std::FILE* stream)
{
    return std::ferror(stream) ? LastError() : 0;
}

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

// Degrees no place on Earth has: the file is likely not a position log at all.
bool OffTheEarth(double latitude, double longitude)
{
    return std::fabs(latitude) > 90 || std::fabs(longitude) > 180;
}

// Of a text dump: says where the first bytes that the conversion read but no record gave
// lie, from the first of them to the last before the next record or the image's end.
void ComplainOfGap(const Log& log, const std::string& path, std::FILE* messages)
{
    const std::vector<bool>& given = log.given;
    const auto read = given.begin() + static_cast<std::ptrdiff_t>(std::min(log.bytes.at, given.size()));
    const auto first = std::find(given.begin(), read, false);
    if (first != read) {
        const auto next = std::find(first, given.end(), true);
        Complain(messages, path, "bytes 0x%04lX to 0x%04lX are in no record; read as erased (FF)",
                 static_cast<unsigned long>(first - given.begin()), static_cast<unsigned long>(next - given.begin() - 1));
    }
}

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

int LastError()
{
    return errno != 0 ? errno : EIO;
}

void Complain(std::FILE* messages, const std::string& path, const char* format, ...)
{
    std::va_list arguments;
    va_start(arguments, format);
    char reason[512];
    std::vsnprintf(reason, sizeof reason, format, arguments);
    va_end(arguments);
    std::fprintf(messages, "kml: %s: %s\n", Shown(path).c_str(), reason);
}

int FlushError(std::FILE* stream)
{
    errno = 0;
    return std::fflush(stream) == 0 ? WriteError(stream) : LastError();
}

bool OpenLog(std::FILE* file, const std::string& path, Log& log, std::FILE* messages)
{
    log = Log{};
    LogStream& bytes = log.bytes;
    bytes.file = file;
    bytes.held.resize(kFormHead);
    bytes.held.resize(std::fread(bytes.held.data(), 1, kFormHead, file));
    const DumpKind kind = RecogniseDump(bytes.held);
    if (kind.form == DumpForm::Raw) {
        return true;
    }
    DecodedDump dump = DecodeDump(kind, bytes);
    const DumpFault& fault = dump.fault;
    if (fault.reason.empty()) {
        bytes = LogStream{};
        bytes.held = std::move(dump.image.bytes);
        log.given = std::move(dump.image.given);
        log.cut = dump.image.cut;
        return true;
    }
    if (fault.line > 0) {
        Complain(messages, path, "line %ld: %s", fault.line, fault.reason.c_str());
    } else {
        Complain(messages, path, "%s", fault.reason.c_str());
    }
    return false;
}

int ConvertLog(Log& log, const std::string& path, std::FILE* kml, std::FILE* listing, std::FILE* messages)
{
    WriteHeader(kml);
    int count = 0;
    const bool countWhole = ReadCount(log.bytes, count);
    bool logWhole = countWhole;
    std::fprintf(listing, "Ilosc pozycji: %d\n", count);

    // The listing is a view of the conversion: when it cannot be written (a full disk, a
    // reader that quit), it stops and the route is still written whole.
    int listingError = WriteError(listing);
    int index = 0;
    Tally notFinite, offTheEarth;
    for (; logWhole && index < count; ++index) {
        PositionRecord record;
        const ReadResult result = ReadRecord(log.bytes, record);
        if (result == ReadResult::EndMarker) {
            break;
        }
        if (result == ReadResult::Short) {
            logWhole = false;
            break;
        }
        const float latitude = ConvPos(record.X);
        const float longitude = ConvPos(record.Y);
        if (listingError == 0) {
            PrintRecord(listing, index, record.T, record.X, record.Y);
            PrintRecord(listing, index, record.T, latitude, longitude);
            listingError = WriteError(listing);
        }
        // Map clients disagree on what "nan" in a route means: such a position is listed
        // but kept out of the route.
        if (!std::isfinite(latitude) || !std::isfinite(longitude)) {
            notFinite.Add(index);
            continue;
        }
        if (OffTheEarth(latitude, longitude)) {
            offTheEarth.Add(index);
        }
        WritePoint(kml, longitude, latitude);
    }
    WriteFooter(kml);

    int status = kConverted;
    ComplainOfGap(log, path, messages);
    if (notFinite.count > 0) {
        Complain(messages, path, "%d position(s) left out of the route, coordinates not finite (first at POS %d)",
                 notFinite.count, notFinite.first);
    }
    if (offTheEarth.count > 0) {
        Complain(messages, path,
                 "%d position(s) beyond 90 degrees of latitude or 180 of longitude (first at POS %d); "
                 "is this a position log?",
                 offTheEarth.count, offTheEarth.first);
    }
    if (log.cut) {
        Complain(messages, path, "dump has no end record; it was cut off");
        status = kLogIncomplete;
    }
    if (!logWhole) {
        if (log.bytes.error != 0) {
            Complain(messages, path, "%s", std::strerror(log.bytes.error));
        } else if (!countWhole) {
            Complain(messages, path, "log ends inside the record count");
        } else {
            Complain(messages, path, "log ends after %d of %d records, with no end marker", index, count);
        }
        status = kLogIncomplete;
    }

    if (listingError == 0) {
        listingError = FlushError(listing);
    }
    if (listingError != 0) {
        Complain(messages, "standard output", "%s", std::strerror(listingError));
        if (status == kConverted) {
            status = kListingFailed;
        }
    }
    return status;
}
