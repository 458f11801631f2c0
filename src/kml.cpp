// kml: converts a GPS logger's position log into a KML route and lists every record.
//
//   kml [LOG [KML]]    LOG defaults to "eeprom.hex", KML to "trasa.kml"; further
//                      arguments are ignored.
//
// Standard output carries the listing: the record count, then two lines per record,
// as stored and as decimal degrees. Problems go to standard error, one line each.
//
// Exit status:
//   0    the log was converted
//   1    nothing was converted: the log cannot be opened, the KML file cannot be
//        created, or both paths name the same file
//   2    the log ends early or cannot be read to its end; the KML file is complete
//        and holds every whole record before that point
//   3    the listing could not be written to standard output
//   255  the KML file could not be written (a write or its close failed)
#include "kml_route.h"
#include "position_log.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

constexpr int kConverted = 0;
constexpr int kNothingConverted = 1;
constexpr int kLogIncomplete = 2;
constexpr int kListingFailed = 3;
constexpr int kKmlFailed = EOF;  // what a failed close returns; the shell sees 255

void Complain(const char* path, const char* reason)
{
    std::fprintf(stderr, "kml: %s: %s\n", path, reason);
}

// The reason for the last failed call, or `fallback` when the library left none.
const char* LastError(const char* fallback)
{
    return errno != 0 ? std::strerror(errno) : fallback;
}

bool IsDirectory(const char* path)
{
    std::error_code ignored;
    return std::filesystem::is_directory(path, ignored);
}

// True when both paths reach one file: the same spelling, "./", a link, a hard link.
bool SameFile(const char* a, const char* b)
{
    std::error_code ignored;  // a path that does not exist names no file
    return std::filesystem::equivalent(a, b, ignored);
}

// Says why the log stopped before its count or its end marker.
void ExplainShortLog(std::FILE* log, const char* logPath, bool countWhole, int index, int count)
{
    if (std::ferror(log)) {
        Complain(logPath, LastError("read error"));
    } else if (!countWhole) {
        Complain(logPath, "log ends inside the record count");
    } else {
        std::fprintf(stderr, "kml: %s: log ends after %d of %d records, with no end marker\n",
                     logPath, index, count);
    }
}

// Flushes a stream and reports whether everything written to it arrived.
bool Flushed(std::FILE* stream, const char* name)
{
    errno = 0;
    if (std::fflush(stream) == 0 && !std::ferror(stream)) {
        return true;
    }
    Complain(name, LastError("write error"));
    return false;
}

}  // namespace

int main(int argc, char* argv[])
{
    const char* const logPath = argc >= 2 ? argv[1] : "eeprom.hex";
    const char* const kmlPath = argc >= 3 ? argv[2] : "trasa.kml";

    std::FILE* const log = std::fopen(logPath, "rb");
    if (log == nullptr) {
        Complain(logPath, std::strerror(errno));
        return kNothingConverted;
    }
    if (IsDirectory(logPath)) {  // opens on some systems, but cannot be read
        Complain(logPath, std::strerror(EISDIR));
        std::fclose(log);
        return kNothingConverted;
    }
    // Creating the KML file truncates it: it must not be the log about to be read.
    if (SameFile(logPath, kmlPath)) {
        Complain(kmlPath, "is the log itself; refusing to overwrite it");
        std::fclose(log);
        return kNothingConverted;
    }
    std::FILE* const kml = std::fopen(kmlPath, "w");
    if (kml == nullptr) {
        Complain(kmlPath, std::strerror(errno));
        std::fclose(log);
        return kNothingConverted;
    }

    WriteHeader(kml);
    int count = 0;
    const bool countWhole = ReadCount(log, count);
    bool logWhole = countWhole;
    std::printf("Ilosc pozycji: %d\n", count);

    int index = 0;
    int leftOut = 0;
    int firstLeftOut = 0;
    for (; logWhole && index < count; ++index) {
        PositionRecord record;
        const ReadResult result = ReadRecord(log, record);
        if (result == ReadResult::EndMarker) {
            break;
        }
        if (result == ReadResult::Short) {
            logWhole = false;
            break;
        }
        PrintRecord(stdout, index, record.T, record.X, record.Y);
        const float latitude = ConvPos(record.X);
        const float longitude = ConvPos(record.Y);
        PrintRecord(stdout, index, record.T, latitude, longitude);
        // Map clients disagree on what "nan" in a route means: such a position is listed
        // but kept out of the route.
        if (std::isfinite(latitude) && std::isfinite(longitude)) {
            WritePoint(kml, longitude, latitude);
        } else if (leftOut++ == 0) {
            firstLeftOut = index;
        }
    }
    WriteFooter(kml);

    int status = kConverted;
    if (leftOut > 0) {
        std::fprintf(stderr,
                     "kml: %s: %d position(s) left out of the route, coordinates not finite "
                     "(first at POS %d)\n",
                     logPath, leftOut, firstLeftOut);
    }
    if (!logWhole) {
        ExplainShortLog(log, logPath, countWhole, index, count);
        status = kLogIncomplete;
    }
    std::fclose(log);  // read only: its close has nothing to report

    if (!Flushed(stdout, "standard output") && status == kConverted) {
        status = kListingFailed;
    }
    // Every failed write to the KML counts, not only a failed close.
    const bool kmlWritten = Flushed(kml, kmlPath);
    const bool kmlClosed = std::fclose(kml) == 0;
    if (kmlWritten && !kmlClosed) {
        Complain(kmlPath, LastError("cannot close"));
    }
    if (!kmlWritten || !kmlClosed) {
        status = kKmlFailed;
    }
    return status;
}
