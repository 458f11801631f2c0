// Feeds arbitrary bytes as a position log through the converter's own reading, converting
// and writing, and checks what must hold for any log: the listing and every route line
// are exactly what printf prints, only finite positions reach the route, the KML ends with
// its footer, and ConvPos agrees with integer degrees wherever they fit 32 bits.
#include "kml_route.h"
#include "position_log.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A heap copy of exactly the input, so that a read past it is caught.
    std::vector<char> bytes(data, data + size);
    std::FILE* log = size > 0 ? fmemopen(bytes.data(), size, "rb") : std::fopen("/dev/null", "rb");
    char *kmlText = nullptr, *listingText = nullptr;
    std::size_t kmlSize = 0, listingSize = 0;
    std::FILE* kml = open_memstream(&kmlText, &kmlSize);
    std::FILE* listing = open_memstream(&listingText, &listingSize);
    Require(log && kml && listing, "cannot open the streams");

    std::string expectedListing, expectedRoute;
    char line[1024];
    WriteHeader(kml);
    int count = 0;
    ReadCount(log, count);
    PositionRecord r;
    for (int index = 0; index < count && ReadRecord(log, r) == ReadResult::Record; ++index) {
        const float latitude = ConvPos(r.X);
        const float longitude = ConvPos(r.Y);
        PrintRecord(listing, index, r.T, r.X, r.Y);
        PrintRecord(listing, index, r.T, latitude, longitude);
        std::snprintf(line, sizeof line, "POS %d\tT: %d X: %f Y: %f\nPOS %d\tT: %d X: %f Y: %f\n", index, r.T,
                      r.X, r.Y, index, r.T, latitude, longitude);
        expectedListing += line;
        if (std::isfinite(latitude) && std::isfinite(longitude)) {
            WritePoint(kml, longitude, latitude);
            std::snprintf(line, sizeof line, "              %.5f,%.5f\n", longitude, latitude);
            expectedRoute += line;
        }
        RequireIntegerDegreesAgree(r.X);
        RequireIntegerDegreesAgree(r.Y);
    }
    WriteFooter(kml);
    std::fclose(log);
    std::fclose(kml);
    std::fclose(listing);

    const std::string document(kmlText, kmlSize);
    const std::string start = "<coordinates>\n", end = "            </coordinates>\n";
    const std::size_t route = document.find(start) + start.size();
    Require(document.compare(document.size() - 7, 7, "</kml>\n") == 0, "the KML lacks its footer");
    Require(document.substr(route, document.rfind(end) - route) == expectedRoute, "a wrong route line");
    Require(std::string(listingText, listingSize) == expectedListing, "a wrong listing line");
    std::free(kmlText);
    std::free(listingText);
    return 0;
}
