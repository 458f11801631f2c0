// The program end to end: run as a process in a fresh directory, its listing, KML,
// diagnostics and exit status compared byte for byte with what they must be.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
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
    const char* setup;  // shell, run first in a directory that holds the sample as eeprom.hex,
                        // a link to it and a hard link to it
    const char* args;   // for kml, after its redirections, so they may redirect again
    int status;
    const char* out;    // golden file of the expected standard output; "" for none
    const char* err;    // the expected standard error
    const char* check;  // shell that must succeed afterwards, if any
};

// A log built from tests/golden/NAME.txt, converted to route.kml: NAME.out, NAME.kml.
#define GOLDEN(name, status, err) \
    {name, "\"$MAKELOG\" \"$G/" name ".txt\" log.bin", "log.bin route.kml", status, name ".out", err, \
     "cmp route.kml \"$G/" name ".kml\""}
// The sample converted, its route in `kml`; `also` checks more.
#define CONVERTS(name, setup, args, kml, also) \
    {name, setup, args, 0, "sample.out", "", "cmp " kml " \"$G/sample.kml\"" also}
#define REFUSES(name, args, err, check) {name, "echo keep >trasa.kml", args, 1, "", err, check}
#define LEFT_ALONE "test \"$(cat trasa.kml)\" = keep"
#define NOT_OVER_LOG(name, kml) \
    REFUSES(name, "eeprom.hex " kml, "kml: " kml ": is the log itself; refusing to overwrite it\n", \
            "cmp eeprom.hex \"$SAMPLE\"")

const Scenario kScenarios[] = {
    CONVERTS("sample", "\"$MAKELOG\" \"$SRC/examples/trip.txt\" made.hex && cmp made.hex eeprom.hex", "", "trasa.kml", ""),
    GOLDEN("worked", 0, ""),  // known conversions, signs, every kind of T
    GOLDEN("empty", 0, ""),
    GOLDEN("count_zero", 0, ""),
    GOLDEN("marker_first", 0, ""),   // count 65535, end marker at once
    GOLDEN("marker_fourth", 0, ""),  // the end marker comes before the count is reached
    GOLDEN("count_over", 0, ""),
    GOLDEN("count_under", 0, ""),
    GOLDEN("huge", 0, ""),  // degrees beyond 32 bits
    GOLDEN("not_finite", 0, "kml: log.bin: 4 position(s) left out of the route, coordinates not finite (first at POS 1)\n"),
    GOLDEN("short_count", 2, "kml: log.bin: log ends inside the record count\n"),
    GOLDEN("short_records", 2, "kml: log.bin: log ends after 2 of 4 records, with no end marker\n"),
    GOLDEN("short_inside", 2, "kml: log.bin: log ends after 1 of 2 records, with no end marker\n"),
    GOLDEN("short_marker", 2, "kml: log.bin: log ends after 1 of 2 records, with no end marker\n"),

    CONVERTS("one_argument", "mv eeprom.hex trip.bin", "trip.bin", "trasa.kml", ""),
    CONVERTS("two_arguments", "mv eeprom.hex trip.bin", "trip.bin out.kml", "out.kml", " && test ! -e trasa.kml"),
    CONVERTS("more_arguments", "", "eeprom.hex out.kml extra more", "out.kml", " && test ! -e extra"),
    CONVERTS("overwrites", "head -c 100000 /dev/zero >trasa.kml", "", "trasa.kml", ""),
    // Records are handled one at a time: the largest log needs no more memory than the sample.
    CONVERTS("memory_flat",
             "{ echo count 65535; seq 65535 | sed 's/.*/record & 4912.5 -1905.5/'; } >big && \"$MAKELOG\" big big.hex", "",
             "trasa.kml", " && peak() { /usr/bin/time -f %M \"$KML\" \"$1\" \"$1.kml\" 2>&1 >/dev/null; } && "
             "test $(peak big.hex) -le $(($(peak eeprom.hex) + 256)) && test $(wc -l <big.hex.kml) -eq 65560"),

    REFUSES("missing_log", "missing.hex", "kml: missing.hex: No such file or directory\n", LEFT_ALONE),
    REFUSES("log_is_a_directory", "/ new.kml", "kml: /: Is a directory\n", LEFT_ALONE " && test ! -e new.kml"),
    REFUSES("kml_not_created", "eeprom.hex no/dir/out.kml", "kml: no/dir/out.kml: No such file or directory\n", ""),
    NOT_OVER_LOG("same_path", "eeprom.hex"),
    NOT_OVER_LOG("same_file_spelt_otherwise", "./eeprom.hex"),
    NOT_OVER_LOG("same_file_through_a_link", "link"),
    NOT_OVER_LOG("same_file_through_a_hard_link", "hard"),

    {"kml_disk_full", "", "eeprom.hex /dev/full", 255, "sample.out", "kml: /dev/full: No space left on device\n", ""},
    {"listing_disk_full", "", ">/dev/full", 3, "", "kml: standard output: No space left on device\n",
     "cmp trasa.kml \"$G/sample.kml\""},
    {"kml_failure_outranks_short_log", "\"$MAKELOG\" \"$G/short_records.txt\" log.bin", "log.bin /dev/full", 255,
     "short_records.out",
     "kml: log.bin: log ends after 2 of 4 records, with no end marker\nkml: /dev/full: No space left on device\n", ""},
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
    ASSERT_EQ(0, Sh(dir, std::string("ln -s eeprom.hex link && ln eeprom.hex hard; ") + s.setup));

    EXPECT_EQ(s.status, Sh(dir, std::string("\"$KML\" >stdout 2>stderr ") + s.args));
    EXPECT_EQ(*s.out ? Read(KML_SOURCE_DIR "/tests/golden/" + std::string(s.out)) : "", Read(dir / "stdout"));
    EXPECT_EQ(s.err, Read(dir / "stderr"));
    if (*s.check) {
        EXPECT_EQ(0, Sh(dir, s.check)) << s.check;
    }
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Run, testing::ValuesIn(kScenarios),
                         [](const testing::TestParamInfo<Scenario>& info) { return info.param.name; });

}  // namespace
