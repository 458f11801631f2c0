#include "kml_route.h"

#include <charconv>
#include <cstring>

namespace {

constexpr char kHeader[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
    "  <Document>\n"
    "    <Style id=\"droga\">\n"
    "      <LineStyle>\n"
    "        <color>ff0000ff</color>\n"
    "        <width>2</width>\n"
    "      </LineStyle>\n"
    "    </Style>\n"
    "    <Folder>\n"
    "      <Placemark>\n"
    "        <name>Trasa GPS</name>\n"
    "        <description>Opis wycieczki</description>\n"
    "        <styleUrl>#droga</styleUrl>\n"
    "        <MultiGeometry>\n"
    "          <LineString>\n"
    "            <tessellate>1</tessellate>\n"
    "            <coordinates>\n";

constexpr char kFooter[] =
    "            </coordinates>\n"
    "          </LineString>\n"
    "        </MultiGeometry>\n"
    "      </Placemark>\n"
    "    </Folder>\n"
    "  </Document>\n"
    "</kml>\n";

constexpr char kIndent[] = "              ";  // 14 spaces before each coordinate line

// Room for any double in "%.5f": sign, 309 integer digits, point, 5 decimals.
constexpr int kMaxFixed = 1 + 309 + 1 + 5;

// Puts a number through std::to_chars, which prints as printf does. The line always has
// room for it; the check keeps a mistake from writing past the line.
template <typename... Number>
char* PutNumber(char* out, char* end, Number... number)
{
    const std::to_chars_result result = std::to_chars(out, end, number...);
    return result.ec == std::errc() ? result.ptr : out;
}

}  // namespace

void WriteHeader(std::FILE* kml)
{
    std::fputs(kHeader, kml);
}

void WritePoint(std::FILE* kml, double longitude, double latitude)
{
    char line[sizeof kIndent + 2 * kMaxFixed + 2];
    char* const end = line + sizeof line;
    std::memcpy(line, kIndent, sizeof kIndent - 1);
    char* p = line + sizeof kIndent - 1;
    p = PutNumber(p, end, longitude, std::chars_format::fixed, 5);
    *p++ = ',';
    p = PutNumber(p, end, latitude, std::chars_format::fixed, 5);
    *p++ = '\n';
    std::fwrite(line, 1, static_cast<std::size_t>(p - line), kml);
}

void WriteFooter(std::FILE* kml)
{
    std::fputs(kFooter, kml);
}
