// Feeds arbitrary bytes to the program's own conversion, as a log of any form, and checks
// what must hold for any input: no crash or stray read (the sanitizers watch), a raw log's
// listing and route lines exactly as printf prints them, only finite positions in the
// route, the KML ended by its footer, and status 2 exactly when a raw log ends early.
// Then the same bytes, taken as a raw image and written as Intel HEX or S-records (a line
// length, record order and dress the input picks: a byte order mark, blank lines first,
// indented records, CR or CR LF line ends, UTF-16 as Windows writes it, with or without
// its byte order mark), must decode to those very bytes, every one of them given.
#include "conversion.h"
#include "log_builder.h"
#include "position_log.h"
#include "text_dump.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Require(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "kml_fuzz: %s\n", what);
        std::abort();
    }
}

// Opens `bytes` as a log file with the program's own code and, given where to put them,
// converts it: the status, the KML and the listing.
int Convert(const std::string& bytes, Log& log, std::string* kml = nullptr, std::string* listing = nullptr)
{
    // A heap copy of exactly the bytes, so that a read past them is caught.
    std::vector<char> copy(bytes.begin(), bytes.end());
    std::FILE* const input = copy.empty() ? std::fopen("/dev/null", "rb") : fmemopen(copy.data(), copy.size(), "rb");
    char* written[2] = {};
    std::size_t sizes[2] = {};
    std::FILE* const kmlFile = open_memstream(&written[0], &sizes[0]);
    std::FILE* const listingFile = open_memstream(&written[1], &sizes[1]);
    Require(input != nullptr && kmlFile != nullptr && listingFile != nullptr, "cannot open the streams");
    Outcome outcome;
    outcome.messageStream = std::fopen("/dev/null", "w");
    if (OpenLog(input, "fuzz", log, outcome) && kml != nullptr) {
        ConvertLog(log, "fuzz", kmlFile, listingFile, outcome);
    }
    for (std::FILE* const file : {input, kmlFile, listingFile, outcome.messageStream}) {
        std::fclose(file);
    }
    for (int k = 0; k < 2; ++k) {
        if (std::string* const into = k == 0 ? kml : listing) {
            into->assign(written[k], sizes[k]);
        }
        std::free(written[k]);
    }
    return ExitStatus(outcome);
}

// What a raw log must give: its listing and route lines as printf prints them; and
// whether it ends early.
bool ExpectRaw(const std::string& bytes, std::string& listing, std::string& route)
{
    LogStream log;
    log.held = bytes;
    int count = 0;
    bool shortLog = !ReadCount(log, count);
    char line[1024];
    std::snprintf(line, sizeof line, "Ilosc pozycji: %d\n", count);
    listing = line;
    PositionRecord r;
    for (int index = 0; !shortLog && index < count; ++index) {
        const ReadResult result = ReadRecord(log, r);
        shortLog = result == ReadResult::Short;
        if (result != ReadResult::Record) {
            break;
        }
        const float latitude = ConvPos(r.X);
        const float longitude = ConvPos(r.Y);
        std::snprintf(line, sizeof line, "POS %d\tT: %d X: %f Y: %f\nPOS %d\tT: %d X: %f Y: %f\n", index, r.T,
                      r.X, r.Y, index, r.T, latitude, longitude);
        listing += line;
        if (std::isfinite(latitude) && std::isfinite(longitude)) {
            std::snprintf(line, sizeof line, "              %.5f,%.5f\n", longitude, latitude);
            route += line;
        }
    }
    return shortLog;
}

void CheckConversion(const std::string& bytes)
{
    Log log;
    std::string document, listed;
    const int status = Convert(bytes, log, &document, &listed);
    if (RecogniseDump(bytes.substr(0, kFormatHead)).syntax != RecordSyntax::None) {
        Require(status != kConverted || document.size() > 7, "a dump converted without a KML");
        return;
    }
    std::string expectedListing, expectedRoute;
    const bool shortLog = ExpectRaw(bytes, expectedListing, expectedRoute);
    const std::string start = "<coordinates>\n", end = "            </coordinates>\n";
    const std::size_t route = document.find(start) + start.size();
    Require(status == (shortLog ? kLogIncomplete : kConverted), "a wrong status");
    Require(document.compare(document.size() - 7, 7, "</kml>\n") == 0, "the KML lacks its footer");
    Require(document.substr(route, document.rfind(end) - route) == expectedRoute, "a wrong route line");
    Require(listed == expectedListing, "a wrong listing line");
}

// A dump as people save it, dressed as `choice` picks.
std::string Dressed(const std::string& dump, unsigned choice)
{
    const char* const lineEnds[] = {"\n", "\r\n", "\r", "\n"};
    const bool utf16 = choice & 32;
    std::string dressed = choice & 1 && !utf16 ? "\xEF\xBB\xBF" : "";
    dressed += choice & 2 ? "\n\r\n \t\n" : "";
    for (std::size_t at = 0, end; at < dump.size(); at = end + 1) {
        end = dump.find('\n', at);
        dressed += (choice & 4 ? " \t" : "") + dump.substr(at, end - at) + lineEnds[choice >> 3 & 3];
    }
    std::string wide = choice & 128 ? "\xFF\xFE" : "";
    for (const char c : dressed) {
        wide += {c, '\0'};
    }
    return utf16 ? wide : dressed;
}

void CheckDumpsDecode(const std::string& bytes)
{
    if (bytes.size() < 3) {
        return;
    }
    const std::string image = bytes.substr(0, kLargestLog);
    const std::size_t perLine = 1 + static_cast<unsigned char>(bytes[0]) % 250;
    const unsigned order = static_cast<unsigned char>(bytes[1]);
    for (const std::string& dump : {IntelHexDump(image, perLine, order), SRecordDump(image, perLine, order, false),
                                    SRecordDump(image, perLine, order, true)}) {
        Log log;
        Convert(Dressed(dump, static_cast<unsigned char>(bytes[2])), log);
        Require(log.bytes.held == image && !log.cut && log.bytes.file == nullptr, "a dump decodes to other bytes");
        Require(std::find(log.given.begin(), log.given.end(), false) == log.given.end(), "a dump leaves a gap");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    CheckConversion(bytes);
    CheckDumpsDecode(bytes);
    return 0;
}
