// Feeds arbitrary bytes as a position log through the converter's reading, converting and
// writing, and checks what must hold for any log: the KML is whole, header to footer, and
// every coordinate line is two finite numbers; the listing has two lines per position.
#include "kml_route.h"
#include "position_log.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Collects what is written to a stream in memory.
struct Memory {
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_memstream(&data, &size);

    ~Memory() { std::free(data); }
    std::string Close()
    {
        std::fclose(stream);
        return std::string(data, size);
    }
};

// What `write` puts on a stream.
std::string Written(void (*write)(std::FILE*))
{
    Memory memory;
    write(memory.stream);
    return memory.Close();
}

void Require(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "kml_fuzz: %s\n", what);
        std::abort();
    }
}

// A route line: 14 spaces, a finite number, a comma, a finite number.
bool IsCoordinateLine(const std::string& line)
{
    if (line.compare(0, 14, std::string(14, ' ')) != 0 || line.size() < 17 || line[14] == ' ') {
        return false;
    }
    const char* text = line.c_str() + 14;
    char* end;
    const double longitude = std::strtod(text, &end);
    if (end == text || *end != ',') {
        return false;
    }
    text = end + 1;
    const double latitude = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(longitude) && std::isfinite(latitude);
}

std::size_t Lines(const std::string& text)
{
    std::size_t lines = 0;
    for (const char c : text) {
        lines += c == '\n';
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The log is a copy on the heap of exactly its size, so a read past it is caught.
    char* const bytes = static_cast<char*>(std::malloc(size + 1));
    std::memcpy(bytes, data, size);
    std::FILE* const log = size > 0 ? fmemopen(bytes, size, "rb") : std::fopen("/dev/null", "rb");
    Require(log != nullptr, "cannot open the log in memory");
    Memory kml, listing;

    WriteHeader(kml.stream);
    int count = 0;
    ReadCount(log, count);
    std::size_t positions = 0;
    std::size_t placed = 0;
    PositionRecord record;
    for (int index = 0; index < count && ReadRecord(log, record) == ReadResult::Record; ++index) {
        PrintRecord(listing.stream, index, record.T, record.X, record.Y);
        const float latitude = ConvPos(record.X);
        const float longitude = ConvPos(record.Y);
        PrintRecord(listing.stream, index, record.T, latitude, longitude);
        ++positions;
        if (std::isfinite(latitude) && std::isfinite(longitude)) {
            WritePoint(kml.stream, longitude, latitude);
            ++placed;
        }
    }
    WriteFooter(kml.stream);
    std::fclose(log);
    std::free(bytes);

    static const std::string header = Written(WriteHeader);
    static const std::string footer = Written(WriteFooter);
    const std::string document = kml.Close();
    Require(document.size() >= header.size() + footer.size() &&
                document.compare(0, header.size(), header) == 0 &&
                document.compare(document.size() - footer.size(), footer.size(), footer) == 0,
            "the KML does not run from the header to the footer");
    const std::string route = document.substr(header.size(), document.size() - header.size() - footer.size());
    Require(Lines(route) == placed, "not one coordinate line per finite position");
    for (std::size_t start = 0; start < route.size();) {
        const std::size_t end = route.find('\n', start);
        Require(IsCoordinateLine(route.substr(start, end - start)), "a bad coordinate line");
        start = end + 1;
    }
    Require(Lines(listing.Close()) == 2 * positions, "not two listing lines per position");
    return 0;
}
