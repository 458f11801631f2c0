// Writes the KML route document: its header, one coordinate line per position, its footer.
#include "kml_route.h"

#include "number_text.h"

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

}  // namespace

void WriteHeader(std::FILE* kml)
{
    std::fputs(kHeader, kml);
}

void WritePoint(std::FILE* kml, double longitude, double latitude)
{
    char line[sizeof kIndent + 2 * MaxFixedLength(5) + 2];
    char* const end = line + sizeof line;
    std::memcpy(line, kIndent, sizeof kIndent - 1);
    char* p = line + sizeof kIndent - 1;
    p = PutFixed(p, end, longitude, 5);
    *p++ = ',';
    p = PutFixed(p, end, latitude, 5);
    *p++ = '\n';
    std::fwrite(line, 1, static_cast<std::size_t>(p - line), kml);
}

void WriteFooter(std::FILE* kml)
{
    std::fputs(kFooter, kml);
}
