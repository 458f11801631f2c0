// Feeds arbitrary bytes to the program's own conversion, as a log of any form, and checks
// what must hold for any input: no crash or stray read (the sanitizers watch), a raw log's
// listing and route lines exactly as printf prints them, only finite positions in the
// route, the KML ended by its footer, status 2 exactly when a raw log ends early, and
// ConvPos agreeing with integer degrees wherever they fit 32 bits. Then the same bytes,
// taken as a raw image and written as Intel HEX or S-records (a line length, record order
// and dress the input picks: a byte order mark, blank lines first, indented records, CR
// or CR LF line ends, UTF-16 of either byte order with or without its byte order mark),
// must decode to those very bytes, every one of them given; and moved beyond the largest
// log, must be refused.
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

void RequireIntegerDegreesAgree(float stored)
{
    if (std::fabs(stored / 100.0) < 2147483648.0) {
        const auto degrees = static_cast<std::int32_t>(stored / 100.0);
        const auto minutes = static_cast<float>(stored - degrees * 100.0);
        Require(ConvPos(stored) == static_cast<float>(degrees + minutes / 60.0), "ConvPos is off");
    }
}

// A stream that reads exactly `bytes`, from a heap copy of them, so that a read past
// them is caught.
struct Input {
    std::vector<char> copy;
    std::FILE* file;

    explicit Input(const std::string& bytes)
        : copy(bytes.begin(), bytes.end()),
          file(copy.empty() ? std::fopen("/dev/null", "rb") : fmemopen(copy.data(), copy.size(), "rb"))
    {
        Require(file != nullptr, "cannot open the input");
    }
    ~Input() { std::fclose(file); }
};

struct Output {
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* file = open_memstream(&text, &size);

    std::string Close()
    {
        std::fclose(file);
        std::string contents(text, size);
        std::free(text);
        return contents;
    }
};

// What a raw log must give: its listing and route lines as printf prints them, and
// whether it ends early.
void ExpectRaw(const std::string& bytes, std::string& listing, std::string& route, bool& shortLog)
{
    LogStream log;
    log.held = bytes;
    int count = 0;
    shortLog = !ReadCount(log, count);
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
        RequireIntegerDegreesAgree(r.X);
        RequireIntegerDegreesAgree(r.Y);
    }
}

void CheckConversion(const std::string& bytes)
{
    Input input(bytes);
    Output kml, listing, messages;
    Log log;
    Outcome outcome;
    outcome.messages = messages.file;
    if (OpenLog(input.file, "fuzz", log, outcome)) {
        ConvertLog(log, "fuzz", kml.file, listing.file, outcome);
    }
    const int status = ExitStatus(outcome);
    const std::string document = kml.Close(), listed = listing.Close();
    messages.Close();
    if (RecogniseDump(bytes.substr(0, kFormHead)).form != DumpForm::Raw) {
        Require(status != kConverted || document.size() > 7, "a dump converted without a KML");
        return;
    }
    std::string expectedListing, expectedRoute;
    bool shortLog = false;
    ExpectRaw(bytes, expectedListing, expectedRoute, shortLog);
    const std::string start = "<coordinates>\n", end = "            </coordinates>\n";
    const std::size_t route = document.find(start) + start.size();
    Require(status == (shortLog ? kLogIncomplete : kConverted), "a wrong status");
    Require(document.compare(document.size() - 7, 7, "</kml>\n") == 0, "the KML lacks its footer");
    Require(document.substr(route, document.rfind(end) - route) == expectedRoute, "a wrong route line");
    Require(listed == expectedListing, "a wrong listing line");
}

// A dump as people save it, dressed as `choice` picks.
std::string Dressed(std::string dump, unsigned choice)
{
    const char* const lineEnds[] = {"\n", "\r\n", "\r", "\n"};
    const bool utf16 = choice & 32, bigEndian = choice & 64;
    std::string dressed = choice & 1 && !utf16 ? "\xEF\xBB\xBF" : "";
    dressed += choice & 2 ? "\n\r\n \t\n" : "";
    for (std::size_t at = 0, end; at < dump.size(); at = end + 1) {
        end = dump.find('\n', at);
        dressed += choice & 4 ? " \t" : "";
        dressed.append(dump, at, end - at);
        dressed += lineEnds[choice >> 3 & 3];
    }
    if (!utf16) {
        return dressed;
    }
    std::string wide = choice & 128 ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
    for (const char c : dressed) {
        wide += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    }
    return wide;
}

void CheckDumpsDecode(const std::string& bytes)
{
    if (bytes.size() < 2) {
        return;
    }
    const std::string image = bytes.substr(0, kLargestLog);
    const std::size_t perLine = 1 + static_cast<unsigned char>(bytes[0]) % 250;
    const unsigned order = static_cast<unsigned char>(bytes[1]);
    const unsigned dress = bytes.size() > 2 ? static_cast<unsigned char>(bytes[2]) : 0;
    const std::string dumps[] = {IntelHexDump(image, perLine, order), SRecordDump(image, perLine, order, false),
                                 SRecordDump(image, perLine, order, true)};
    for (const std::string& dump : dumps) {
        Input input(Dressed(dump, dress));
        Log log;
        Outcome outcome;
        outcome.messages = stderr;
        Require(OpenLog(input.file, "fuzz", log, outcome), "a dump of a raw log does not decode");
        Require(log.bytes.held == image && !log.cut && log.bytes.file == nullptr, "a dump decodes to other bytes");
        Require(std::find(log.given.begin(), log.given.end(), false) == log.given.end(), "a dump leaves a gap");
    }
    // Below 64 KiB, Intel HEX has no address record of its own: one put first moves every
    // record to 0x810000, where AVR tool chains put the EEPROM, beyond any log.
    if (image.size() <= 0x10000) {
        Input input(Dressed(":020000040081" "79\n" + dumps[0], dress));
        Output messages;
        Log log;
        Outcome outcome;
        outcome.messages = messages.file;
        Require(!OpenLog(input.file, "fuzz", log, outcome), "a dump beyond any log converts");
        Require(messages.Close() == "kml: fuzz: no record holds a byte of the log; the first is at 0x810000\n",
                "a dump beyond any log is refused for another reason");
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
