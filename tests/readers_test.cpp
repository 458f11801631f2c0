// The KML as the tools people open it with read it: validated against the OGC KML 2.2
// schema with xmllint, and read back with GDAL's ogrinfo.
#include "run_kml.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kSource = KML_SOURCE_DIR;

bool Found(const std::string& tool)
{
    return tool.find("NOTFOUND") == std::string::npos && !tool.empty();
}

// The KML of the log that `description` stands for, in `dir`, with the listing in `listing`.
fs::path Convert(const fs::path& dir, const std::string& description, std::string& listing)
{
    WriteFile(dir / "log.bin", LogFromDescription(description));
    const KmlRun run = RunKml(dir, "log.bin route.kml");
    EXPECT_EQ(0, run.status) << run.err;
    listing = run.out;
    return dir / "route.kml";
}

const char* const kLogs[] = {
    "sample",
    "empty",
    "not_finite",
};

std::string DescriptionOf(const std::string& name)
{
    return ReadFile(name == "sample" ? kSource / "examples" / "trip.txt"
                                     : kSource / "tests" / "golden" / (name + ".txt"));
}

TEST(Readers, KmlIsValidAgainstTheSchema)
{
    if (!Found(XMLLINT) || !fs::exists(KML_SCHEMA)) {
        GTEST_SKIP() << "xmllint or the KML 2.2 schema (" KML_SCHEMA ") is missing";
    }
    for (const char* name : kLogs) {
        SCOPED_TRACE(name);
        const fs::path dir = ScratchDir();
        std::string listing, output;
        const fs::path kml = Convert(dir, DescriptionOf(name), listing);
        EXPECT_EQ(0, RunCommand("'" XMLLINT "' --noout --nonet --schema '" KML_SCHEMA "' '" +
                                    kml.string() + "'",
                                output))
            << output;
        fs::remove_all(dir);
    }
}

struct Position {
    double longitude;
    double latitude;
};

// The converted positions of a listing: every second record line.
std::vector<Position> PositionsListed(const std::string& listing)
{
    static const std::regex line(R"(POS \d+\tT: -?\d+ X: (\S+) Y: (\S+))");
    std::vector<Position> positions;
    std::istringstream lines(listing);
    std::string text;
    for (int k = 0; std::getline(lines, text);) {
        std::smatch match;
        if (std::regex_match(text, match, line) && k++ % 2 == 1) {
            positions.push_back({std::stod(match[2]), std::stod(match[1])});
        }
    }
    return positions;
}

// The positions of the line GDAL reads, from its WKT.
std::vector<Position> PositionsRead(const std::string& ogrinfo)
{
    static const std::regex geometry(R"(LINESTRING[^(]*\(+([^)]*)\))");
    std::smatch match;
    std::vector<Position> positions;
    if (std::regex_search(ogrinfo, match, geometry)) {
        std::istringstream tuples(match[1].str());
        std::string tuple;
        while (std::getline(tuples, tuple, ',')) {
            Position position{};
            std::istringstream(tuple) >> position.longitude >> position.latitude;
            positions.push_back(position);
        }
    }
    return positions;
}

TEST(Readers, GdalReadsTheRouteThatIsListed)
{
    if (!Found(OGRINFO)) {
        GTEST_SKIP() << "ogrinfo (GDAL, Debian's gdal-bin) is not installed";
    }
    const fs::path dir = ScratchDir();
    std::string listing, output;
    const fs::path kml = Convert(dir, DescriptionOf("sample"), listing);
    ASSERT_EQ(0, RunCommand("'" OGRINFO "' -ro -al '" + kml.string() + "'", output)) << output;

    EXPECT_TRUE(std::regex_search(output, std::regex(R"(Feature Count: 1\n)"))) << output;
    EXPECT_TRUE(std::regex_search(output, std::regex(R"(Name \(String\) = Trasa GPS)"))) << output;
    const std::vector<Position> listed = PositionsListed(listing);
    const std::vector<Position> read = PositionsRead(output);
    ASSERT_EQ(42u, listed.size());
    ASSERT_EQ(listed.size(), read.size()) << output;
    // The listing shows six decimals, the route five.
    for (std::size_t k = 0; k < listed.size(); ++k) {
        EXPECT_NEAR(listed[k].longitude, read[k].longitude, 0.0000051) << "position " << k;
        EXPECT_NEAR(listed[k].latitude, read[k].latitude, 0.0000051) << "position " << k;
    }

    const fs::path emptyKml = Convert(dir, "", listing);
    EXPECT_EQ(0, RunCommand("'" OGRINFO "' -ro -al '" + emptyKml.string() + "'", output)) << output;
    fs::remove_all(dir);
}

}  // namespace
