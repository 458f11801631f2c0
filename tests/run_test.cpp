// The program end to end: run as a process in a fresh directory, its listing, KML,
// diagnostics and exit status compared byte for byte with what they must be.
//
// The program under test is the one built here, unless KML_UNDER_TEST names another build
// of it (for another processor or system), run through the command in KML_RUNNER (an
// emulator such as qemu-s390x-static, or wine). A program whose name ends in ".exe" is
// a Windows one: its text files and console lines end in CR LF.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char* const kUnderTest = std::getenv("KML_UNDER_TEST");
const std::string kProgram = kUnderTest != nullptr && *kUnderTest != '\0' ? kUnderTest : KML_BINARY;
const bool kBuiltHere = kProgram == KML_BINARY;
const bool kWindows = kProgram.size() > 4 && kProgram.compare(kProgram.size() - 4, 4, ".exe") == 0;

std::string Read(const fs::path& path)
{
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

// Text as the program under test writes it: lines end in CR LF on Windows.
std::string AsWritten(std::string text)
{
    for (std::size_t at = 0; kWindows && (at = text.find('\n', at)) != std::string::npos; at += 2) {
        text.insert(at, 1, '\r');
    }
    return text;
}

fs::path FreshDir(const std::string& name)
{
    const fs::path dir = fs::temp_directory_path() / ("kml_test_" + std::to_string(getpid())) / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// Runs a shell script in `dir`, where `kml` runs the program under test, `as_written`
// gives its line ends to a text, and $KML, $HERE (the build made here), $MAKELOG, $SRC,
// $G (the golden files), $SAMPLE (the bundled log) and $OGRINFO name what they say.
// Returns its exit status.
int Sh(const fs::path& dir, const std::string& script)
{
    setenv("KML", kProgram.c_str(), 1);
    setenv("HERE", KML_BINARY, 1);
    setenv("MAKELOG", MAKELOG_BINARY, 1);
    setenv("SRC", KML_SOURCE_DIR, 1);
    setenv("SAMPLE", KML_SOURCE_DIR "/examples/eeprom.hex", 1);
    setenv("OGRINFO", OGRINFO, 1);
    const std::string functions = std::string("kml() { $KML_RUNNER \"$KML\" \"$@\"; }; as_written() { ") +
                                  (kWindows ? "sed 's/$/\\r/'; }; " : "cat; }; ");
    const int status = std::system((functions + "cd '" + dir.string() + "' && " + script).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The expected listings and KML files, with the line ends of the program under test.
fs::path GoldenDir()
{
    static const fs::path dir = kWindows ? FreshDir("golden") : KML_SOURCE_DIR "/tests/golden";
    static const int copied = kWindows ? Sh(dir, "for f in \"$SRC\"/tests/golden/*; do case $f in"
                                                 " *.txt) cp \"$f\" . ;; *) as_written <\"$f\" >\"${f##*/}\" ;; esac; done")
                                       : 0;
    setenv("G", dir.c_str(), 1);
    return copied == 0 ? dir : "";
}

// Where a scenario can run.
enum Hosts {
    kAnyBuild,    // any build of the program, Windows ones under Wine included (/dev/full too)
    kPosixBuild,  // a POSIX build: Windows words a broken pipe or a directory otherwise
    kThisBuild,   // the build made here, not emulated: the scenario measures the process
    kOtherBuild,  // another build, compared with the one made here
    kWithGdal,    // any build, where GDAL's ogrinfo is installed
};

struct Scenario {
    const char* name;
    Hosts hosts;
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
    {name, kAnyBuild, "\"$MAKELOG\" \"$G/" name ".txt\" log.bin", "log.bin route.kml", status, name ".out", err, \
     "cmp route.kml \"$G/" name ".kml\""}
// The sample converted, its route in `kml`; `also` checks more.
#define CONVERTS(name, hosts, setup, args, kml, also) \
    {name, hosts, setup, args, 0, "sample.out", "", "cmp " kml " \"$G/sample.kml\"" also}
#define REFUSES(name, hosts, args, err, check) {name, hosts, "echo keep >trasa.kml", args, 1, "", err, check}
#define LEFT_ALONE "test \"$(cat trasa.kml)\" = keep"
#define NOT_OVER_LOG(name, kml) \
    REFUSES(name, kAnyBuild, "eeprom.hex " kml, "kml: " kml ": is the log itself; refusing to overwrite it\n", \
            "cmp eeprom.hex \"$SAMPLE\"")
// The largest log there is, as big.hex: 65,535 records, 65,560 lines of KML.
#define BIG_LOG "{ echo count 65535; seq 65535 | sed 's/.*/record & 4912.5 -1905.5/'; } >big && \"$MAKELOG\" big big.hex"
// The listing goes into a pipe whose reader quits after printing `first`: the listing
// stops, and the route is the same as in a run whose listing is read to the end.
#define READER_QUITS(name, reader, first) \
    {name, kPosixBuild, BIG_LOG " && mkfifo pipe && { " reader " <pipe >first & }", "big.hex big.kml >pipe", 3, "", \
     "kml: standard output: Broken pipe\n", \
     "test \"$(cat first)\" = \"" first "\" && kml big.hex whole.kml >/dev/null && cmp big.kml whole.kml"}

const Scenario kScenarios[] = {
    CONVERTS("sample", kAnyBuild, "\"$MAKELOG\" \"$SRC/examples/trip.txt\" made.hex && cmp made.hex eeprom.hex", "",
             "trasa.kml", ""),
    GOLDEN("worked", 0, ""),  // known conversions, signs, every kind of T
    GOLDEN("empty", 0, ""),
    GOLDEN("count_zero", 0, ""),
    GOLDEN("marker_first", 0, ""),   // count 65535, end marker at once
    GOLDEN("marker_fourth", 0, ""),  // the end marker comes before the count is reached
    GOLDEN("count_over", 0, ""),
    GOLDEN("count_under", 0, ""),
    GOLDEN("huge", 0, ""),  // degrees beyond 32 bits
    GOLDEN("not_finite", 0, "kml: log.bin: 5 position(s) left out of the route, coordinates not finite (first at POS 1)\n"),
    GOLDEN("short_count", 2, "kml: log.bin: log ends inside the record count\n"),
    GOLDEN("short_records", 2, "kml: log.bin: log ends after 2 of 4 records, with no end marker\n"),
    GOLDEN("short_inside", 2, "kml: log.bin: log ends after 1 of 2 records, with no end marker\n"),
    GOLDEN("short_marker", 2, "kml: log.bin: log ends after 1 of 2 records, with no end marker\n"),

    CONVERTS("one_argument", kAnyBuild, "mv eeprom.hex trip.bin", "trip.bin", "trasa.kml", ""),
    CONVERTS("two_arguments", kAnyBuild, "mv eeprom.hex trip.bin", "trip.bin out.kml", "out.kml", " && test ! -e trasa.kml"),
    CONVERTS("more_arguments", kAnyBuild, "", "eeprom.hex out.kml extra more", "out.kml", " && test ! -e extra"),
    CONVERTS("overwrites", kAnyBuild, "head -c 100000 /dev/zero >trasa.kml", "", "trasa.kml", ""),
    CONVERTS("polish_names", kAnyBuild, "mv eeprom.hex trasa_łódź.hex", "trasa_łódź.hex wycieczka_żółw.kml",
             "wycieczka_żółw.kml", " && test ! -e trasa.kml"),
    // GDAL, which many GIS tools build on, reads one route "Trasa GPS" through the listed
    // positions (to five decimals), in order; and the empty route too.
    CONVERTS("gdal_reads_the_listed_route", kWithGdal, "", "", "trasa.kml",
             " && \"$OGRINFO\" -ro -al trasa.kml >gdal && \"$OGRINFO\" -ro -al \"$G/empty.kml\" >/dev/null"
             " && grep -qx 'Feature Count: 1' gdal && grep -qx '  Name (String) = Trasa GPS' gdal"
             " && awk 'FNR == NR { if (FNR % 2 == 1 && FNR > 1) { lon[++n] = $8; lat[n] = $6 } next }"
             " /LINESTRING/ { gsub(/[^-0-9., ]/, \"\"); m = split($0, p, \",\"); ok = m == n && n == 42;"
             " for (k = 1; k <= m; k++) { split(p[k], c, \" \"); d = c[1] - lon[k]; e = c[2] - lat[k];"
             " ok = ok && d * d < 2.7e-11 && e * e < 2.7e-11 } } END { exit !ok }' stdout gdal"),
    // Records are handled one at a time: the largest log needs no more memory than the sample.
    CONVERTS("memory_flat", kThisBuild, BIG_LOG, "", "trasa.kml",
             " && peak() { /usr/bin/time -f %M \"$KML\" \"$1\" \"$1.kml\" 2>&1 >/dev/null; } && "
             "test $(peak big.hex) -le $(($(peak eeprom.hex) + 256)) && test $(wc -l <big.hex.kml) -eq 65560"),

    REFUSES("missing_log", kAnyBuild, "brak_łódź.hex", "kml: brak_łódź.hex: No such file or directory\n", LEFT_ALONE),
    REFUSES("log_is_a_directory", kPosixBuild, "/ new.kml", "kml: /: Is a directory\n", LEFT_ALONE " && test ! -e new.kml"),
    REFUSES("kml_not_created", kAnyBuild, "eeprom.hex no/dir/out.kml", "kml: no/dir/out.kml: No such file or directory\n", ""),
    NOT_OVER_LOG("same_path", "eeprom.hex"),
    NOT_OVER_LOG("same_file_spelt_otherwise", "./eeprom.hex"),
    NOT_OVER_LOG("same_file_through_a_link", "link"),
    NOT_OVER_LOG("same_file_through_a_hard_link", "hard"),

    {"kml_disk_full", kAnyBuild, "", "eeprom.hex /dev/full", 255, "sample.out",
     "kml: /dev/full: No space left on device\n", ""},
    {"listing_disk_full", kAnyBuild, "", ">/dev/full", 3, "", "kml: standard output: No space left on device\n",
     "cmp trasa.kml \"$G/sample.kml\""},
    {"kml_failure_outranks_short_log", kAnyBuild, "\"$MAKELOG\" \"$G/short_records.txt\" log.bin",
     "log.bin /dev/full", 255, "short_records.out",
     "kml: log.bin: log ends after 2 of 4 records, with no end marker\nkml: /dev/full: No space left on device\n", ""},
    READER_QUITS("reader_quits_midway", "head -1", "Ilosc pozycji: 65535"),
    READER_QUITS("reader_quits_at_once", "true", ""),
    // 300 random logs (NaN, infinities, huge values, early ends) convert as they do here.
    {"generated_logs", kOtherBuild, "for n in $(seq 300); do echo random $n >d; \"$MAKELOG\" d log$n; done", "", 0,
     "sample.out", "",
     "for log in log*; do kml $log $log.kml >$log.out 2>$log.err; echo $? >$log.status;"
     " \"$HERE\" $log here.kml >here.out 2>here.err; echo $? | cmp -s - $log.status || { echo $log.status; exit 1; };"
     " for f in kml out err; do as_written <here.$f | cmp -s - $log.$f || { echo $log.$f; exit 1; }; done; done"},
};

void PrintTo(const Scenario& s, std::ostream* os)
{
    *os << s.name;
}

class Run : public testing::TestWithParam<Scenario> {};

TEST_P(Run, ListingKmlDiagnosticsAndStatus)
{
    const Scenario& s = GetParam();
    if ((s.hosts == kThisBuild && !kBuiltHere) || (s.hosts == kOtherBuild && kBuiltHere) ||
        (s.hosts == kPosixBuild && kWindows) || (s.hosts == kWithGdal && !fs::exists(OGRINFO))) {
        GTEST_SKIP() << "not for " << kProgram;
    }
    ASSERT_FALSE(GoldenDir().empty()) << "cannot copy the golden files";
    const fs::path dir = FreshDir(s.name);
    fs::copy_file(KML_SOURCE_DIR "/examples/eeprom.hex", dir / "eeprom.hex");
    ASSERT_EQ(0, Sh(dir, std::string("ln -s eeprom.hex link && ln eeprom.hex hard; ") + s.setup));

    EXPECT_EQ(s.status, Sh(dir, std::string("kml >stdout 2>stderr ") + s.args));
    EXPECT_EQ(*s.out ? Read(GoldenDir() / s.out) : "", Read(dir / "stdout"));
    EXPECT_EQ(AsWritten(s.err), Read(dir / "stderr"));
    if (*s.check) {
        EXPECT_EQ(0, Sh(dir, s.check)) << s.check;
    }
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Run, testing::ValuesIn(kScenarios),
                         [](const testing::TestParamInfo<Scenario>& info) { return info.param.name; });

}  // namespace
