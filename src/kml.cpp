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
//   3    the listing could not be written to standard output (a full disk, a reader
//        that quit); the listing stops there, the KML file is written whole
//   -1   the KML file could not be written (a write or its close failed); POSIX
//        shells show 255
#include "kml_route.h"
#include "platform.h"
#include "position_log.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr int kConverted = 0;
constexpr int kNothingConverted = 1;
constexpr int kLogIncomplete = 2;
constexpr int kListingFailed = 3;
constexpr int kKmlFailed = EOF;  // what a failed close returns; the shell sees 255

void Complain(const std::string& path, const char* reason)
{
    std::fprintf(stderr, "kml: %s: %s\n", path.c_str(), reason);
}

// The reason for the last failed call, as an errno value; EIO when the library left none.
int LastError()
{
    return errno != 0 ? errno : EIO;
}

bool IsDirectory(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::is_directory(std::filesystem::u8path(path), ignored);
}

// True when both paths reach one file: the same spelling, "./", a link, a hard link.
bool SameFile(const std::string& a, const std::string& b)
{
    std::error_code ignored;  // a path that does not exist names no file
    return std::filesystem::equivalent(std::filesystem::u8path(a), std::filesystem::u8path(b), ignored);
}

// Says why the log stopped before its count or its end marker.
void ExplainShortLog(std::FILE* log, const std::string& logPath, bool countWhole, int index, int count)
{
    if (std::ferror(log)) {
        Complain(logPath, std::strerror(LastError()));
    } else if (!countWhole) {
        Complain(logPath, "log ends inside the record count");
    } else {
        std::fprintf(stderr, "kml: %s: log ends after %d of %d records, with no end marker\n",
                     logPath.c_str(), index, count);
    }
}

// The reason a stream's writes failed, as an errno value; 0 while they have not.
int WriteError(std::FILE* stream)
{
    return std::ferror(stream) ? LastError() : 0;
}

// Flushes a stream; returns 0 when everything written to it arrived, else the reason.
int FlushError(std::FILE* stream)
{
    errno = 0;
    return std::fflush(stream) == 0 ? WriteError(stream) : LastError();
}

}  // namespace

int main(int argc, char* argv[])
{
    const std::vector<std::string> arguments = StartProcess(argc, argv);
    const std::string logPath = arguments.size() >= 2 ? arguments[1] : "eeprom.hex";
    const std::string kmlPath = arguments.size() >= 3 ? arguments[2] : "trasa.kml";

    std::FILE* const log = OpenFile(logPath, "rb");
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
    std::FILE* const kml = OpenFile(kmlPath, "w");
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

    // The listing is a view of the conversion: when standard output goes away (a full disk,
    // a reader that quit), the listing stops and the route is still written whole.
    int listingError = WriteError(stdout);
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
        const float latitude = ConvPos(record.X);
        const float longitude = ConvPos(record.Y);
        if (listingError == 0) {
            PrintRecord(stdout, index, record.T, record.X, record.Y);
            PrintRecord(stdout, index, record.T, latitude, longitude);
            listingError = WriteError(stdout);
        }
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
                     logPath.c_str(), leftOut, firstLeftOut);
    }
    if (!logWhole) {
        ExplainShortLog(log, logPath, countWhole, index, count);
        status = kLogIncomplete;
    }
    std::fclose(log);  // read only: its close has nothing to report

    if (listingError == 0) {
        listingError = FlushError(stdout);
    }
    if (listingError != 0) {
        Complain("standard output", std::strerror(listingError));
        if (status == kConverted) {
            status = kListingFailed;
        }
    }
    // Every failed write to the KML counts, not only a failed close.
    const int kmlError = FlushError(kml);
    if (kmlError != 0) {
        Complain(kmlPath, std::strerror(kmlError));
    }
    const bool kmlClosed = std::fclose(kml) == 0;
    if (kmlError == 0 && !kmlClosed) {
        Complain(kmlPath, std::strerror(LastError()));
    }
    if (kmlError != 0 || !kmlClosed) {
        status = kKmlFailed;
    }
    return status;
}
