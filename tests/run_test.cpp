// The program end to end: logs built from descriptions, run through the real binary,
// compared byte for byte with the expected listing, KML, diagnostics and exit status.
//
// KML_UPDATE_GOLDEN=1 rewrites the expected files from what the program does now;
// read the difference before committing it.
#include "log_builder.h"
#include "run_kml.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace fs = std::filesystem;

namespace {

const fs::path kSource = KML_SOURCE_DIR;
const fs::path kGolden = kSource / "tests" / "golden";

struct GoldenCase {
    const char* name;  // tests/golden/NAME.txt describes the log
    int status;
};

const GoldenCase kGoldenCases[] = {
    {"sample", 0},          // the bundled trip
    {"worked", 0},          // known conversions, signs, every kind of T
    {"empty", 0},           // no bytes: count 0
    {"count_zero", 0},      // count 0 before records
    {"marker_first", 0},    // count 65535, end marker at once
    {"marker_fourth", 0},   // end marker stops before the count
    {"count_over", 0},      // count larger than the records, end marker after them
    {"count_under", 0},     // records past the count are not read
    {"short_count", 2},     // ends inside the count
    {"short_records", 2},   // ends between records, before the count, no end marker
    {"short_inside", 2},    // ends inside a record
    {"short_marker", 2},    // ends inside what would be an end marker
    {"not_finite", 0},      // NaN and infinities listed, left out of the route
    {"huge", 0},            // degrees beyond 32 bits
};

void PrintTo(const GoldenCase& c, std::ostream* os)
{
    *os << c.name;
}

fs::path DescriptionOf(const std::string& name)
{
    return name == "sample" ? kSource / "examples" / "trip.txt" : kGolden / (name + ".txt");
}

// Compares `actual` with the golden file; rewrites it instead when asked to.
// An absent golden file stands for no output at all.
void ExpectGolden(const fs::path& golden, const std::string& actual)
{
    if (std::getenv("KML_UPDATE_GOLDEN") != nullptr) {
        if (actual.empty()) {
            fs::remove(golden);
        } else {
            WriteFile(golden, actual);
        }
        return;
    }
    EXPECT_EQ(fs::exists(golden) ? ReadFile(golden) : "", actual) << "differs from " << golden;
}

class Golden : public testing::TestWithParam<GoldenCase> {};

TEST_P(Golden, ListingKmlDiagnosticsAndStatus)
{
    const GoldenCase& c = GetParam();
    const fs::path dir = ScratchDir();
    WriteFile(dir / "log.bin", LogFromDescription(ReadFile(DescriptionOf(c.name))));

    const KmlRun run = RunKml(dir, "log.bin route.kml");

    EXPECT_EQ(c.status, run.status);
    ExpectGolden(kGolden / (std::string(c.name) + ".out"), run.out);
    ExpectGolden(kGolden / (std::string(c.name) + ".kml"), ReadFile(dir / "route.kml"));
    ExpectGolden(kGolden / (std::string(c.name) + ".err"), run.err);
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Logs, Golden, testing::ValuesIn(kGoldenCases),
                         [](const testing::TestParamInfo<GoldenCase>& info) { return info.param.name; });

TEST(Sample, BundledLogIsWhatTheGeneratorMakes)
{
    EXPECT_EQ(LogFromDescription(ReadFile(kSource / "examples" / "trip.txt")),
              ReadFile(kSource / "examples" / "eeprom.hex"));
}

// A fixture with the sample log in a fresh directory.
class Run : public testing::Test {
protected:
    void SetUp() override
    {
        dir = ScratchDir();
        sample = ReadFile(kSource / "examples" / "eeprom.hex");
        WriteFile(dir / "eeprom.hex", sample);
    }
    void TearDown() override { fs::remove_all(dir); }

    // The sample's expected listing and KML.
    static std::string Listing() { return ReadFile(kGolden / "sample.out"); }
    static std::string Route() { return ReadFile(kGolden / "sample.kml"); }

    fs::path dir;
    std::string sample;
};

TEST_F(Run, EveryArgumentCount)
{
    struct {
        const char* args;
        const char* log;  // the file the run must have read: placed under this name
        const char* kml;  // where the route must be
    } const cases[] = {
        {"", "eeprom.hex", "trasa.kml"},
        {"trip.bin", "trip.bin", "trasa.kml"},
        {"trip.bin out.kml", "trip.bin", "out.kml"},
        {"trip.bin out.kml ignored also-ignored", "trip.bin", "out.kml"},
        {"sub/../trip.bin ./out.kml", "trip.bin", "out.kml"},
    };
    fs::create_directory(dir / "sub");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("kml ") + c.args);
        fs::remove(dir / "eeprom.hex");
        WriteFile(dir / c.log, sample);
        const KmlRun run = RunKml(dir, c.args);
        EXPECT_EQ(0, run.status);
        EXPECT_EQ(Listing(), run.out);
        EXPECT_EQ("", run.err);
        EXPECT_EQ(Route(), ReadFile(dir / c.kml));
        fs::remove(dir / c.kml);
        EXPECT_FALSE(fs::exists(dir / "ignored"));
    }
}

TEST_F(Run, OverwritesAnExistingKml)
{
    WriteFile(dir / "trasa.kml", std::string(100000, 'x'));
    EXPECT_EQ(0, RunKml(dir, "").status);
    EXPECT_EQ(Route(), ReadFile(dir / "trasa.kml"));
}

// A log that cannot be read: nothing on standard output, the KML path left alone.
TEST_F(Run, UnreadableLogTouchesNothing)
{
    fs::create_directory(dir / "folder");
    const char* const logs[] = {"missing.hex", "folder", "''"};
    for (const char* log : logs) {
        SCOPED_TRACE(log);
        WriteFile(dir / "trasa.kml", "keep me");
        const KmlRun run = RunKml(dir, log);
        EXPECT_EQ(1, run.status);
        EXPECT_EQ("", run.out);
        EXPECT_EQ("keep me", ReadFile(dir / "trasa.kml"));
        EXPECT_EQ(0u, run.err.find("kml: ")) << run.err;
        EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
    }
    const KmlRun run = RunKml(dir, "missing.hex new.kml");
    EXPECT_EQ("kml: missing.hex: No such file or directory\n", run.err);
    EXPECT_FALSE(fs::exists(dir / "new.kml"));
}

TEST_F(Run, KmlThatCannotBeCreated)
{
    for (const char* kml : {"no/such/dir/out.kml", "."}) {
        SCOPED_TRACE(kml);
        const KmlRun run = RunKml(dir, std::string("eeprom.hex ") + kml);
        EXPECT_EQ(1, run.status);
        EXPECT_EQ("", run.out);
        EXPECT_EQ(0u, run.err.find(std::string("kml: ") + kml + ": ")) << run.err;
    }
}

TEST_F(Run, RefusesToWriteOverTheLog)
{
    fs::create_symlink("eeprom.hex", dir / "link.hex");
    fs::create_hard_link(dir / "eeprom.hex", dir / "hard.hex");
    const std::string kmls[] = {"eeprom.hex", "./eeprom.hex", "link.hex", "hard.hex",
                                (dir / "eeprom.hex").string()};
    for (const std::string& kml : kmls) {
        SCOPED_TRACE(kml);
        const KmlRun run = RunKml(dir, "eeprom.hex '" + kml + "'");
        EXPECT_EQ(1, run.status);
        EXPECT_EQ("", run.out);
        EXPECT_EQ("kml: " + kml + ": is the log itself; refusing to overwrite it\n", run.err);
        EXPECT_EQ(sample, ReadFile(dir / "eeprom.hex"));
    }
}

TEST_F(Run, KmlWriteFailureIsReported)
{
    const KmlRun run = RunKml(dir, "eeprom.hex /dev/full");
    EXPECT_EQ(255, run.status);
    EXPECT_EQ(Listing(), run.out);
    EXPECT_EQ("kml: /dev/full: No space left on device\n", run.err);
}

TEST_F(Run, ListingWriteFailureIsReported)
{
    const KmlRun run = RunKml(dir, "", "/dev/full");
    EXPECT_EQ(3, run.status);
    EXPECT_EQ("kml: standard output: No space left on device\n", run.err);
    EXPECT_EQ(Route(), ReadFile(dir / "trasa.kml"));
}

// A log that ends early and a KML that cannot be written: the KML failure wins.
TEST_F(Run, KmlFailureOutranksAShortLog)
{
    WriteFile(dir / "eeprom.hex", sample.substr(0, 2 + 12 * 3 + 5));
    const KmlRun run = RunKml(dir, "eeprom.hex /dev/full");
    EXPECT_EQ(255, run.status);
    EXPECT_EQ(2, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
}

// Records are handled one at a time: the largest log a count allows needs no more memory
// than three records.
TEST(Memory, FlatWhateverTheLogSize)
{
    const fs::path dir = ScratchDir();
    for (const int records : {3, 65535}) {
        std::string log;
        AppendCount(log, static_cast<unsigned>(records));
        for (int k = 0; k < records; ++k) {
            AppendRecord(log, k, 4900.0f + static_cast<float>(k % 5959) * 0.01f, -1905.5f);
        }
        WriteFile(dir / (std::to_string(records) + ".bin"), log);
    }
    const long small = PeakMemoryKib((dir / "3.bin").string(), (dir / "3.kml").string());
    const long full = PeakMemoryKib((dir / "65535.bin").string(), (dir / "65535.kml").string());
    ASSERT_GT(small, 0);
    EXPECT_LE(full, small + 256) << "KiB at peak: " << small << " for 3 records, " << full << " for 65535";
    const std::string route = ReadFile(dir / "65535.kml");
    EXPECT_EQ(18 + 65535 + 7, std::count(route.begin(), route.end(), '\n'));
    fs::remove_all(dir);
}

}  // namespace
