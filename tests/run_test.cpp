// The program end to end: run as a process in a fresh directory, its listing, KML,
// diagnostics and exit status compared byte for byte with what they must be.
#include "log_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& path)
{
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

fs::path FreshDir(const std::string& name)
{
    const fs::path dir = fs::temp_directory_path() / ("kml_test_" + std::to_string(getpid())) / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// Runs a shell script in `dir`, where $KML, $MAKELOG, $SRC, $G (the golden files) and
// $SAMPLE (the bundled log) name what they say. Returns its exit status.
int Sh(const fs::path& dir, const std::string& script)
{
    setenv("KML", KML_BINARY, 1);
    setenv("MAKELOG", MAKELOG_BINARY, 1);
    setenv("SRC", KML_SOURCE_DIR, 1);
    setenv("G", KML_SOURCE_DIR "/tests/golden", 1);
    setenv("SAMPLE", KML_SOURCE_DIR "/examples/eeprom.hex", 1);
    const int status = std::system(("cd '" + dir.string() + "' && " + script).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Scenario {
    const char* name;
    const char* setup;  // shell, run first in a directory that holds the sample as eeprom.hex
    const char* args;   // for kml, after its redirections, so they may redirect again
    int status;
    const char* out;    // golden file of the expected standard output; "" for none
    const char* err;    // the expected standard error
    const char* check;  // shell that must succeed afterwards
};

// A log built from tests/golden/NAME.txt, converted to route.kml: NAME.out, NAME.kml.
#define GOLDEN(name, status, err) \
    {name, "\"$MAKELOG\" \"$G/" name ".txt\" log.bin", "log.bin route.kml", status, name ".out", err, \
     "cmp route.kml \"$G/" name ".kml\""}
#define SAMPLE_ROUTE_IN(kml) "cmp " kml " \"$G/sample.kml\""
#define LEFT_ALONE "test \"$(cat trasa.kml)\" = keep"
#define NOT_OVER_LOG(name, kml) \
    {name, "ln -s eeprom.hex link; ln eeprom.hex hard", "eeprom.hex " kml, 1, "", \
     "kml: " kml ": is the log itself; refusing to overwrite it\n", "cmp eeprom.hex \"$SAMPLE\""}

const Scenario kScenarios[] = {
    {"sample", "\"$MAKELOG\" \"$SRC/examples/trip.txt\" made.hex && cmp made.hex eeprom.hex", "", 0,
     "sample.out", "", SAMPLE_ROUTE_IN("trasa.kml")},
    GOLDEN("worked", 0, ""),  // known conversions, signs, every kind of T
    GOLDEN("empty", 0, ""),
    GOLDEN("count_zero", 0, ""),
    GOLDEN("marker_first", 0, ""),   // count 65535, end marker at once
    GOLDEN("marker_fourth", 0, ""),  // the end marker comes before the count is reached
    GOLDEN("count_over", 0, ""),
    GOLDEN("count_under", 0, ""),
    GOLDEN("huge", 0, ""),  // degrees beyond 32 bits
    GOLDEN("not_finite", 0,
           "kml: log.bin: 4 position(s) left out of the route, coordinates not finite (first at POS 1)\n"),
    GOLDEN("short_count", 2, "kml: log.bin: log ends inside the record count\n"),
    GOLDEN("short_records", 2, "kml: log.bin: log ends after 2 of 4 records, with no end marker\n"),
    GOLDEN("short_inside", 2, "kml: log.bin: log ends after 1 of 2 records, with no end marker\n"),
    GOLDEN("short_marker", 2, "kml: log.bin: log ends after 1 of 2 records, with no end marker\n"),

    {"one_argument", "mv eeprom.hex trip.bin", "trip.bin", 0, "sample.out", "", SAMPLE_ROUTE_IN("trasa.kml")},
    {"two_arguments", "mv eeprom.hex trip.bin", "trip.bin out.kml", 0, "sample.out", "",
     SAMPLE_ROUTE_IN("out.kml") " && test ! -e trasa.kml"},
    {"more_arguments", "", "eeprom.hex out.kml extra more", 0, "sample.out", "",
     SAMPLE_ROUTE_IN("out.kml") " && test ! -e extra"},
    {"overwrites", "head -c 100000 /dev/zero >trasa.kml", "", 0, "sample.out", "", SAMPLE_ROUTE_IN("trasa.kml")},

    {"missing_log", "echo keep >trasa.kml", "missing.hex", 1, "",
     "kml: missing.hex: No such file or directory\n", LEFT_ALONE},
    {"missing_log_no_kml", "", "missing.hex new.kml", 1, "",
     "kml: missing.hex: No such file or directory\n", "test ! -e new.kml"},
    {"log_is_a_directory", "mkdir dir; echo keep >trasa.kml", "dir", 1, "", "kml: dir: Is a directory\n", LEFT_ALONE},
    {"kml_not_created", "", "eeprom.hex no/dir/out.kml", 1, "",
     "kml: no/dir/out.kml: No such file or directory\n", "true"},
    NOT_OVER_LOG("same_path", "eeprom.hex"),
    NOT_OVER_LOG("same_file_spelt_otherwise", "./eeprom.hex"),
    NOT_OVER_LOG("same_file_through_a_link", "link"),
    NOT_OVER_LOG("same_file_through_a_hard_link", "hard"),

    {"kml_disk_full", "", "eeprom.hex /dev/full", 255, "sample.out", "kml: /dev/full: No space left on device\n",
     "true"},
    {"listing_disk_full", "", ">/dev/full", 3, "", "kml: standard output: No space left on device\n",
     SAMPLE_ROUTE_IN("trasa.kml")},
    {"kml_failure_outranks_short_log", "\"$MAKELOG\" \"$G/short_records.txt\" log.bin", "log.bin /dev/full",
     255, "short_records.out",
     "kml: log.bin: log ends after 2 of 4 records, with no end marker\n"
     "kml: /dev/full: No space left on device\n",
     "true"},
};

void PrintTo(const Scenario& s, std::ostream* os)
{
    *os << s.name;
}

class Run : public testing::TestWithParam<Scenario> {};

TEST_P(Run, ListingKmlDiagnosticsAndStatus)
{
    const Scenario& s = GetParam();
    const fs::path dir = FreshDir(s.name);
    fs::copy_file(KML_SOURCE_DIR "/examples/eeprom.hex", dir / "eeprom.hex");
    ASSERT_EQ(0, Sh(dir, std::string("true; ") + s.setup));

    EXPECT_EQ(s.status, Sh(dir, std::string("\"$KML\" >stdout 2>stderr ") + s.args));
    EXPECT_EQ(*s.out ? Read(KML_SOURCE_DIR "/tests/golden/" + std::string(s.out)) : "", Read(dir / "stdout"));
    EXPECT_EQ(s.err, Read(dir / "stderr"));
    EXPECT_EQ(0, Sh(dir, s.check)) << s.check;
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Run, testing::ValuesIn(kScenarios),
                         [](const testing::TestParamInfo<Scenario>& info) { return info.param.name; });

// Peak resident memory, in KiB, of kml converting `log`.
long PeakKib(const fs::path& log)
{
    const pid_t child = fork();
    if (child == 0) {
        dup2(open("/dev/null", O_WRONLY), STDOUT_FILENO);
        execl(KML_BINARY, KML_BINARY, log.c_str(), (log.string() + ".kml").c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    return wait4(child, &status, 0, &usage) == child && status == 0 ? usage.ru_maxrss : -1;
}

// Records are handled one at a time: the largest log needs no more memory than three records.
TEST(Memory, FlatWhateverTheLogSize)
{
    const fs::path dir = FreshDir("memory");
    for (const unsigned records : {3u, 65535u}) {
        std::string log;
        AppendCount(log, records);
        for (unsigned k = 0; k < records; ++k) {
            AppendRecord(log, static_cast<std::int32_t>(k), 4900.0f + static_cast<float>(k % 5959) * 0.01f, -1905.5f);
        }
        std::ofstream(dir / std::to_string(records), std::ios::binary) << log;
    }
    const long small = PeakKib(dir / "3");
    ASSERT_GT(small, 0);
    EXPECT_LE(PeakKib(dir / "65535"), small + 256);
    const std::string route = Read(dir / "65535.kml");
    EXPECT_EQ(18 + 65535 + 7, std::count(route.begin(), route.end(), '\n'));
    fs::remove_all(dir);
}

}  // namespace
