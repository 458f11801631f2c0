// The program end to end: run as a process in a fresh directory, its listing, KML,
// diagnostics and exit status compared byte for byte with what they must be.
//
// The program under test is the one built here, unless KML_UNDER_TEST names another build
// of it (for another processor or system), run through the command in KML_RUNNER (an
// emulator such as qemu-s390x-static, or wine). A program whose name ends in ".exe" is
// a Windows one: its text files and console lines end in CR LF.
#include "log_builder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string Env(const char* name, const char* fallback)
{
    const char* const value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

const std::string kProgram = Env("KML_UNDER_TEST", KML_BINARY);
const bool kBuiltHere = kProgram == KML_BINARY;
const bool kWindows = kProgram.size() > 4 && kProgram.compare(kProgram.size() - 4, 4, ".exe") == 0;

std::string Read(const fs::path& path)
{
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

void Write(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
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

// The expected listings and KML files, with the line ends of the program under test.
const std::string& GoldenDir()
{
    static const std::string dir = [] {
        const std::string source = KML_SOURCE_DIR "/tests/golden";
        if (!kWindows) {
            return source;
        }
        const fs::path copy = FreshDir("golden");
        for (const auto& entry : fs::directory_iterator(source)) {
            const std::string bytes = Read(entry.path());
            const bool text = entry.path().extension() != ".txt";  // .txt: read by makelog
            Write(copy / entry.path().filename(), text ? AsWritten(bytes) : bytes);
        }
        return copy.string();
    }();
    return dir;
}

// Runs a shell script in `dir`, where `kml` runs the program under test, and $KML,
// $MAKELOG, $SRC, $G (the golden files) and $SAMPLE (the bundled log) name what they say.
// Returns its exit status.
int Sh(const fs::path& dir, const std::string& script)
{
    setenv("KML", kProgram.c_str(), 1);
    setenv("MAKELOG", MAKELOG_BINARY, 1);
    setenv("SRC", KML_SOURCE_DIR, 1);
    setenv("G", GoldenDir().c_str(), 1);
    setenv("SAMPLE", KML_SOURCE_DIR "/examples/eeprom.hex", 1);
    const std::string kml = "kml() { $KML_RUNNER \"$KML\" \"$@\"; }; ";
    const int status = std::system((kml + "cd '" + dir.string() + "' && " + script).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Where a scenario can run.
enum Hosts {
    kAnyBuild,    // any build of the program, Windows ones under Wine included (/dev/full too)
    kPosixBuild,  // a POSIX build: Windows words a broken pipe or a directory otherwise
    kThisBuild,   // the build made here, not emulated: the scenario measures the process
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
};

void PrintTo(const Scenario& s, std::ostream* os)
{
    *os << s.name;
}

class Run : public testing::TestWithParam<Scenario> {};

TEST_P(Run, ListingKmlDiagnosticsAndStatus)
{
    const Scenario& s = GetParam();
    if ((s.hosts == kThisBuild && !kBuiltHere) || (s.hosts == kPosixBuild && kWindows)) {
        GTEST_SKIP() << "not for " << kProgram;
    }
    const fs::path dir = FreshDir(s.name);
    fs::copy_file(KML_SOURCE_DIR "/examples/eeprom.hex", dir / "eeprom.hex");
    ASSERT_EQ(0, Sh(dir, std::string("ln -s eeprom.hex link && ln eeprom.hex hard; ") + s.setup));

    EXPECT_EQ(s.status, Sh(dir, std::string("kml >stdout 2>stderr ") + s.args));
    EXPECT_EQ(*s.out ? Read(GoldenDir() + "/" + s.out) : "", Read(dir / "stdout"));
    EXPECT_EQ(AsWritten(s.err), Read(dir / "stderr"));
    if (*s.check) {
        EXPECT_EQ(0, Sh(dir, s.check)) << s.check;
    }
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Run, testing::ValuesIn(kScenarios),
                         [](const testing::TestParamInfo<Scenario>& info) { return info.param.name; });

// A log that probes what differs between processors and C++ libraries: NaN and infinity
// of either sign, huge and tiny values, end markers, and an end anywhere.
std::string GeneratedLog(std::mt19937& random)
{
    static const std::uint32_t kEdges[] = {
        0x7FC00000, 0xFFC00000, 0x7F800001, 0xFFFFFFFF,  // NaN: quiet, signalling, either sign
        0x7F800000, 0xFF800000,                          // infinity
        0x7F7FFFFF, 0xFF7FFFFF, 0x00000001, 0x80000001,  // largest, smallest
        0x00000000, 0x80000000, 0x50000000, 0xD0000000,  // zeros, degrees about 2^31
    };
    const auto coordinate = [&random] {
        std::uint32_t bits = random();
        if (random() % 3 == 0) {
            bits = kEdges[random() % std::size(kEdges)];
        } else if (random() % 2 == 0) {
            const float stored = std::uniform_real_distribution<float>(-18000, 18000)(random);
            std::memcpy(&bits, &stored, sizeof bits);
        }
        float stored;
        std::memcpy(&stored, &bits, sizeof stored);
        return stored;
    };
    std::string log;
    AppendCount(log, random() % 4 == 0 ? 65535 : random() % 12);
    for (int k = random() % 12; k > 0; --k) {
        const std::int32_t t = random() % 8 == 0 ? -1 : static_cast<std::int32_t>(random());
        const float x = coordinate();
        AppendRecord(log, t, x, coordinate());
    }
    if (random() % 3 == 0) {
        log.resize(random() % (log.size() + 1));
    }
    return log;
}

// Another build (another processor, system or C++ library) converts every log exactly as
// the build made here does: listing, KML, messages and status.
TEST(Platforms, GeneratedLogsConvertAsHere)
{
    if (kBuiltHere) {
        GTEST_SKIP() << "KML_UNDER_TEST names no other build to compare with the one made here";
    }
    const fs::path dir = FreshDir("generated");
    std::mt19937 random(20261206);
    const int kLogs = 300;
    for (int k = 0; k < kLogs; ++k) {
        Write(dir / ("log" + std::to_string(k)), GeneratedLog(random));
    }
    setenv("HERE", KML_BINARY, 1);
    ASSERT_EQ(0, Sh(dir, "for log in log*; do"
                         " \"$HERE\" $log $log.here.kml >$log.here.out 2>$log.here.err; echo $? >$log.here.status;"
                         " kml $log $log.kml >$log.out 2>$log.err; echo $? >$log.status; done"));
    for (int k = 0; k < kLogs; ++k) {
        const fs::path log = dir / ("log" + std::to_string(k));
        for (const char* output : {".out", ".err", ".kml"}) {
            EXPECT_EQ(AsWritten(Read(log.string() + ".here" + output)), Read(log.string() + output))
                << log.filename() << output;
        }
        EXPECT_EQ(Read(log.string() + ".here.status"), Read(log.string() + ".status")) << log.filename();
    }
    fs::remove_all(dir);
}

}  // namespace
