// The KML as GDAL, which many GIS tools build on, reads it. The golden KML files are what
// the program writes, byte for byte (run_test.cpp), so they stand for its output here.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/wait.h>

namespace {

const std::string kGolden = KML_SOURCE_DIR "/tests/golden/";

// Runs a command; returns its exit status, and what it printed in `output`.
int RunCommand(const std::string& command, std::string& output)
{
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    char buffer[4096];
    output.clear();
    for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        output.append(buffer, got);
    }
    return WEXITSTATUS(pclose(pipe));
}

// The two numbers of each match of `pattern` in `text`, the second first when `swap`.
std::vector<double> Pairs(const std::string& text, const std::string& pattern, bool swap)
{
    std::vector<double> numbers;
    const std::regex re(pattern);
    for (std::sregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it) {
        numbers.push_back(std::stod((*it)[swap ? 2 : 1]));
        numbers.push_back(std::stod((*it)[swap ? 1 : 2]));
    }
    return numbers;
}

TEST(Readers, GdalReadsTheRouteThatIsListed)
{
    if (std::string(OGRINFO).find("NOTFOUND") != std::string::npos) {
        GTEST_SKIP() << "ogrinfo (Debian's gdal-bin) is not installed";
    }
    std::string output;
    ASSERT_EQ(0, RunCommand("'" OGRINFO "' -ro -al '" + kGolden + "sample.kml'", output)) << output;
    EXPECT_NE(std::string::npos, output.find("Feature Count: 1\n")) << output;
    EXPECT_NE(std::string::npos, output.find("Name (String) = Trasa GPS\n")) << output;

    // The second line of each record holds the position in degrees, X (latitude) first.
    std::ostringstream listing;
    listing << std::ifstream(kGolden + "sample.out").rdbuf();
    const auto listed = Pairs(listing.str(), R"(POS .*\nPOS \d+\tT: -?\d+ X: (\S+) Y: (\S+)\n)", true);
    const auto read = Pairs(output, R"(([-\d.]+) ([-\d.]+)[,)])", false);
    ASSERT_EQ(2u * 42, listed.size());
    ASSERT_EQ(listed.size(), read.size()) << output;
    for (std::size_t k = 0; k < listed.size(); ++k) {
        EXPECT_NEAR(listed[k], read[k], 0.0000051) << "number " << k;  // six decimals against five
    }
    EXPECT_EQ(0, RunCommand("'" OGRINFO "' -ro -al '" + kGolden + "empty.kml'", output)) << output;
}

}  // namespace
