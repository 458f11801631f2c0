// The program end to end: run as a process in a fresh directory, its listing, KML,
// diagnostics and exit status compared byte for byte with what they must be.
//
// The program under test is the one built here, unless KML_UNDER_TEST names another build
// of it (for another processor or system), run through the command in KML_RUNNER (an
// emulator such as qemu-s390x-static, wine, or node). A program whose name ends in ".exe"
// is a Windows one: its text files and console lines end in CR LF; one whose name ends in
// ".js" is the WebAssembly build, run by Node.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char* const kUnderTest = std::getenv("KML_UNDER_TEST");
const std::string kProgram = kUnderTest != nullptr && *kUnderTest != '\0' ? kUnderTest : KML_BINARY;
const bool kBuiltHere = kProgram == KML_BINARY;
const bool kWindows = kProgram.size() > 4 && kProgram.compare(kProgram.size() - 4, 4, ".exe") == 0;
const bool kNode = kProgram.size() > 3 && kProgram.compare(kProgram.size() - 3, 3, ".js") == 0;

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

// This process's folder in the temporary folder; removed when the tests end.
const fs::path kTestRoot = fs::temp_directory_path() / ("kml_test_" + std::to_string(getpid()));

class RemoveTestRoot : public testing::Environment {
    void TearDown() override { fs::remove_all(kTestRoot); }
};
const testing::Environment* const kRemoveTestRoot = testing::AddGlobalTestEnvironment(new RemoveTestRoot);

fs::path FreshDir(const std::string& name)
{
    const fs::path dir = kTestRoot / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// The raw log $1, converted as it was to route.kml, stdout, stderr and status $2, gives the
// same again written as Intel HEX and S-records: by objcopy (which takes no empty file)
// with other line lengths and S3 addresses, and by srec_cat, where it is installed, with
// type 04 records and an S5 count for its end. S-records come with their data reversed.
const char* const kDumpsAgree =
    "dumps_agree() { log=$1 status=$2; while read -r tool options; do rm -rf d && mkdir d && case $tool in\n"
    "  objcopy) test -s $log || continue; objcopy -I binary $options $log d/dump ;;\n"
    "  srec_cat) command -v srec_cat >/dev/null || continue; srec_cat $log -binary -o d/dump $options ;;\n"
    "  esac || return 1\n"
    "  { head -1 d/dump; sed 1d d/dump | grep '^S[1-3]' | tac; sed 1d d/dump | grep -v '^S[1-3]'; } >d/$log\n"
    "  (cd d && kml $log route.kml >stdout 2>stderr; echo $? >status)\n"
    "  echo $status | cmp -s - d/status && cmp -s stdout d/stdout && cmp -s stderr d/stderr &&\n"
    "  cmp -s route.kml d/route.kml || { echo \"$tool $options: not as raw (status $(cat d/status)):\";\n"
    "    for f in stdout stderr route.kml; do cmp -s $f d/$f || echo \"  $f differs\"; done; cat d/stderr; return 1; }\n"
    "done <<EOF\n"
    "objcopy -O ihex\nobjcopy -O srec\nobjcopy -O srec --srec-forceS3 --srec-len=7\nobjcopy -O srec --srec-len=40\n"
    "srec_cat -intel -address-length=4 -line-length=27\nsrec_cat -motorola\n"
    "EOF\n"
    "rm -rf d; }; ";

// Runs a shell script in `dir`, where `kml` runs the program under test (with a file size
// limit of as many 512-byte blocks as ./.fsize says, if it exists), `as_written`
// gives its line ends to a text, `dumps_agree LOG STATUS` checks that LOG converts as text
// dumps as it did raw, and $KML, $HERE (the build made here), $MAKELOG, $SRC, $G (the
// golden files), $SAMPLE (the bundled log) and $OGRINFO name what they say.
// Returns its exit status.
int Sh(const fs::path& dir, const std::string& script)
{
    setenv("KML", kProgram.c_str(), 1);
    setenv("HERE", KML_BINARY, 1);
    setenv("MAKELOG", MAKELOG_BINARY, 1);
    setenv("SRC", KML_SOURCE_DIR, 1);
    setenv("SAMPLE", KML_SOURCE_DIR "/examples/eeprom.hex", 1);
    setenv("OGRINFO", OGRINFO, 1);
    const std::string functions = std::string("kml() { (test ! -f .fsize || { ulimit -f $(cat .fsize) && trap '' XFSZ; };"
                                              " $KML_RUNNER \"$KML\" \"$@\"); }; as_written() { ") +
                                  (kWindows ? "sed 's/$/\\r/'; }; " : "cat; }; ") + kDumpsAgree;
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
    kPosixFiles,  // a POSIX build that writes through the C library: not Node's, whose
                  // file system writes at a position, which a FIFO refuses
    kThisBuild,   // the build made here, not emulated nor sanitized: the scenario measures
                  // the process
    kOtherBuild,  // another build, compared with the one made here
    kWithGdal,    // any build, where GDAL's ogrinfo is installed
    kSmallDisk,   // a POSIX build, where a small file system can be mounted on ./small
};

struct Scenario {
    const char* name;
    Hosts hosts;
    const char* setup;  // shell, run first in a directory that holds the sample as eeprom.hex,
                        // a link to it and a hard link to it
    const char* args;   // for kml, after its redirections, so they may redirect again
    int status;
    const char* out;    // golden file of the expected standard output; "" for none, null
                        // where `check` compares it
    const char* err;    // the expected standard error; null where `check` looks at it (the
                        // reason for a failed write is worded otherwise on Windows)
    const char* check;  // shell that must succeed afterwards, if any
};

// A log built from tests/golden/NAME.txt, converted to route.kml: NAME.out, NAME.kml; and
// the same from the log as text dumps.
#define GOLDEN(name, status, err) \
    {name, kAnyBuild, "\"$MAKELOG\" \"$G/" name ".txt\" log.bin", "log.bin route.kml", status, name ".out", err, \
     "cmp route.kml \"$G/" name ".kml\" && dumps_agree log.bin " #status}
// The sample converted, its route in `kml`; `also` checks more.
#define CONVERTS(name, hosts, setup, args, kml, also) \
    {name, hosts, setup, args, 0, "sample.out", "", "cmp " kml " \"$G/sample.kml\"" also}
#define REFUSES(name, hosts, args, err, check) {name, hosts, "echo '<kml/>' >trasa.kml", args, 1, "", err, check}
#define LEFT_ALONE "test \"$(cat trasa.kml)\" = '<kml/>'"
// The sample as objcopy writes it in `form` (ihex, srec), with LF line ends, in dump.hex,
// then changed by `edit`.
#define DUMP(form, edit) "objcopy -I binary -O " form " eeprom.hex crlf && tr -d '\\r' <crlf >dump.hex && " edit
// The same dump as people save it: it converts as the sample does.
#define DRESSED(name, form, edit) \
    CONVERTS(name, kAnyBuild, DUMP(form, edit " >d && mv d dump.hex"), "dump.hex", "trasa.kml", "")
// A dump that cannot be trusted: nothing converted, an old KML left as it was.
#define UNTRUSTED(name, form, edit, err) \
    {name, kAnyBuild, "echo '<kml/>' >trasa.kml && " DUMP(form, edit), "dump.hex", 1, "", err, LEFT_ALONE}
// The KML path names a file that is not a KML document: refused, the file left as it was.
#define NOT_OVER_OTHER(name, setup, args, kml) \
    {name, kAnyBuild, setup " && cp " kml " before", args, 1, "", \
     "kml: " kml ": exists and is not a KML document; refusing to overwrite it\n", "cmp before " kml}
// A raw log whose record count is 60: its first byte is '<'.
#define ANGLE_LOG "{ printf '<\\000'; tail -c +3 eeprom.hex; } >day2.hex"
// The KML cannot be written whole (a file size limit): the path is left as it was, and
// nothing else is left in the folder. (Under Wine, a wineserver that is already running
// must serve the program: one started under the limit fails.)
#define WRITE_FAILS(name, hosts, setup, kml, left, check) \
    {name, hosts, setup " && echo 1 >.fsize && ls -A >files", "eeprom.hex " kml " >/dev/null", 255, "", \
     nullptr, "grep -q '^kml: " kml ": .*; " left "' stderr && ls -A | grep -vx -e stdout -e stderr | cmp - files && " check}
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
    GOLDEN("huge", 0, "kml: log.bin: 4 position(s) beyond 90 degrees of latitude or 180 of longitude (first at POS 0);"
                      " is this a position log?\n"),  // degrees beyond 32 bits
    GOLDEN("colon_first", 0, ""),  // a raw log that begins with ':'; it is no text dump
    GOLDEN("not_finite", 0, "kml: log.bin: 5 position(s) left out of the route, coordinates not finite (first at POS 1)\n"),
    GOLDEN("short_count", 2, "kml: log.bin: log ends inside the record count\n"),
    GOLDEN("short_records", 2, "kml: log.bin: log ends after 2 of 4 records, with no end marker\n"),
    GOLDEN("short_inside", 2, "kml: log.bin: log ends after 1 of 2 records, with no end marker\n"),
    GOLDEN("short_marker", 2, "kml: log.bin: log ends after 1 of 2 records, with no end marker\n"),

    CONVERTS("one_argument", kAnyBuild, "mv eeprom.hex trip.bin", "trip.bin", "trasa.kml", ""),
    CONVERTS("two_arguments", kAnyBuild, "mv eeprom.hex trip.bin", "trip.bin out.kml", "out.kml", " && test ! -e trasa.kml"),
    CONVERTS("more_arguments", kAnyBuild, "", "eeprom.hex out.kml extra more", "out.kml", " && test ! -e extra"),
    CONVERTS("overwrites_an_old_kml", kAnyBuild, "{ printf '\\357\\273\\277\\r\\n'; cat \"$G/huge.kml\" \"$G/huge.kml\"; } >trasa.kml",
             "", "trasa.kml", ""),
    CONVERTS("overwrites_an_empty_file", kAnyBuild, ": >trasa.kml", "", "trasa.kml", ""),
    CONVERTS("writes_into_a_fifo", kPosixFiles, "mkfifo route && { cat route >got & }", "eeprom.hex route", "got",
             " && test -p route"),
    {"writes_to_dev_null", kPosixBuild, "", "eeprom.hex /dev/null", 0, "sample.out", "", "test -c /dev/null"},
    // Old KML documents of any program, a cut one too, are replaced: through a link, the file
    // it points to, with its permissions.
    CONVERTS("overwrites_a_cut_kml_with_a_prolog", kAnyBuild,
             "{ head -1 \"$G/huge.kml\"; echo '<!-- by hand -->'; echo '<?pi x?><!DOCTYPE kml [<!ENTITY a \"]>\">]>';"
             " sed 1d \"$G/huge.kml\" | head -c 200; } >trasa.kml", "", "trasa.kml", ""),
    CONVERTS("overwrites_through_a_link", kPosixBuild,
             "cp \"$G/huge.kml\" old.kml && chmod 604 old.kml && ln -s old.kml route.kml", "eeprom.hex route.kml",
             "old.kml", " && test -L route.kml && test \"$(stat -c %a old.kml)\" = 604"),
    // Text dumps as people save them: avrdude's `:I` comments, lower case, CR LF, blank
    // lines; records at addresses beyond any log; records that repeat a byte they agree on.
    CONVERTS("dump_as_avrdude_writes_it", kAnyBuild,
             DUMP("ihex", "sed 's|$| // 00000> ...|; 5s/$/\\n/' dump.hex | tr A-F a-f | sed 's/$/\\r/' >dump.i"),
             "dump.i", "trasa.kml", ""),
    DRESSED("dump_blank_first_line", "ihex", "{ echo; cat dump.hex; }"),
    DRESSED("dump_crlf_blank_lines", "ihex", "{ printf '\\r\\n\\r\\n'; sed 's/$/\\r/' dump.hex; }"),
    DRESSED("dump_byte_order_mark", "ihex", "{ printf '\\357\\273\\277'; cat dump.hex; }"),
    DRESSED("dump_byte_order_mark_crlf_srec", "srec", "{ printf '\\357\\273\\277'; sed 's/$/\\r/' dump.hex; }"),
    DRESSED("dump_indented", "srec", "sed 's/^/  \\t/' dump.hex"),
    DRESSED("dump_cr_line_ends", "ihex", "tr '\\n' '\\r' <dump.hex"),
    // A record line deleted by mistake: its bytes read as erased, with a word; here the FF
    // end the route at once.
    {"dump_record_line_deleted", kAnyBuild, DUMP("ihex", "sed -i 3d dump.hex"), "dump.hex", 0, nullptr, nullptr,
     "{ head -c 32 eeprom.hex; printf '\\377%.0s' $(seq 16); tail -c +49 eeprom.hex; } >raw.hex &&"
     " kml raw.hex raw.kml >raw.out 2>raw.err; cmp raw.kml trasa.kml && cmp raw.out stdout &&"
     " { echo 'kml: dump.hex: bytes 0x0020 to 0x002F are in no record; read as erased (FF)' | as_written;"
     " sed 's/raw.hex/dump.hex/' raw.err; } | cmp - stderr"},
    {"dump_at_64_kib", kAnyBuild, "objcopy -I binary -O ihex --change-addresses 0x10000 eeprom.hex dump.hex", "dump.hex",
     0, "marker_first.out", "kml: dump.hex: bytes 0x0000 to 0xFFFF are in no record; read as erased (FF)\n",
     "cmp trasa.kml \"$G/marker_first.kml\""},
    // Binary that begins like an S-record is a raw log: its count is "S1", 12,627.
    {"binary_beginning_with_s1", kAnyBuild, "{ printf S1; tail -c +3 eeprom.hex; } >s1.bin", "s1.bin", 0, nullptr, "",
     "{ echo 'Ilosc pozycji: 12627' | as_written; sed 1d \"$G/sample.out\"; } | cmp - stdout &&"
     " cmp trasa.kml \"$G/sample.kml\""},
    CONVERTS("dump_beyond_any_log", kAnyBuild, DUMP("ihex", "sed -i '$i :02000004FFFFFC\\n:02FFFE00ABCD89' dump.hex"),
             "dump.hex", "trasa.kml", ""),
    CONVERTS("dump_records_agree", kAnyBuild, DUMP("ihex", "sed -i '3i :0100000032CD' dump.hex"), "dump.hex",
             "trasa.kml", ""),
    // A dump cut off inside a line converts as far as its whole records go: 22 lines, 352
    // bytes, 29 whole records.
    {"dump_cut_off", kAnyBuild, DUMP("ihex", "head -c 1000 dump.hex >cut.hex"), "cut.hex", 2, nullptr,
     "kml: cut.hex: dump has no end record; it was cut off\n"
     "kml: cut.hex: log ends after 29 of 50 records, with no end marker\n",
     "head -c 352 eeprom.hex >raw && kml raw raw.kml >raw.out; cmp raw.kml trasa.kml && cmp raw.out stdout"},
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
    // Records are handled one at a time: the largest log needs no more memory than the
    // sample; as a text dump, no more than its image (768 KiB) besides.
    CONVERTS("memory_flat", kThisBuild, BIG_LOG, "", "trasa.kml",
             " && peak() { /usr/bin/time -f %M \"$KML\" \"$1\" \"$1.kml\" 2>&1 >/dev/null; } && "
             "test $(peak big.hex) -le $(($(peak eeprom.hex) + 256)) && test $(wc -l <big.hex.kml) -eq 65560"
             " && objcopy -I binary -O ihex big.hex big.ihex && test $(peak big.ihex) -le $(($(peak eeprom.hex) + 2048))"
             " && cmp big.hex.kml big.ihex.kml"),

    REFUSES("missing_log", kAnyBuild, "brak_łódź.hex", "kml: brak_łódź.hex: No such file or directory\n", LEFT_ALONE),
    REFUSES("an_option_was_meant", kAnyBuild, "--help",
            "kml: --help: No such file or directory\nusage: kml [LOG [KML]] (kml takes no options)\n", LEFT_ALONE),
    UNTRUSTED("dump_checksum", "ihex", "sed -i '7s/.$/0/;7s/00$/01/' dump.hex",
              "kml: dump.hex: line 7: checksum mismatch\n"),
    UNTRUSTED("dump_first_line_checksum", "ihex", "sed -i '1s/.$/0/;1s/00$/01/' dump.hex",
              "kml: dump.hex: line 1: checksum mismatch\n"),
    UNTRUSTED("dump_first_record_after_a_blank_line", "ihex",
              "{ echo; sed '1s/.$/0/;1s/00$/01/' dump.hex; } >d && mv d dump.hex",
              "kml: dump.hex: line 2: checksum mismatch\n"),
    UNTRUSTED("dump_header_line", "srec", "sed -i '1i # EEPROM, logger 7' dump.hex", "kml: dump.hex: line 1: not an S-record\n"),
    UNTRUSTED("dump_junk_after_blanks", "ihex", "awk 'NR == 3 { printf \"%600sGARBAGE\\n\", \"\" } 1' dump.hex >d && mv d dump.hex",
              "kml: dump.hex: line 3: not an Intel HEX record\n"),
    UNTRUSTED("dump_records_disagree", "ihex", "sed -i '3i :0100000033CC' dump.hex",
              "kml: dump.hex: line 3: records give one address different bytes\n"),
    UNTRUSTED("dump_bad_character", "ihex", "sed -i '4s/^\\(.\\{9\\}\\)./\\1G/' dump.hex",
              "kml: dump.hex: line 4: bad character in record\n"),
    UNTRUSTED("dump_count_mismatch", "srec", "sed -i '$i S5030001FB' dump.hex",
              "kml: dump.hex: line 35: record count mismatch\n"),
    UNTRUSTED("dump_unknown_type", "ihex", "sed -i '2i :00000006FA' dump.hex",
              "kml: dump.hex: line 2: unknown record type\n"),
    NOT_OVER_OTHER("second_log_as_kml", "cp eeprom.hex day2.hex", "eeprom.hex day2.hex", "day2.hex"),
    NOT_OVER_OTHER("swapped_arguments", "kml eeprom.hex old.kml >/dev/null", "old.kml eeprom.hex", "eeprom.hex"),
    NOT_OVER_OTHER("gpx_as_kml", "printf '<?xml version=\"1.0\"?>\\n<gpx version=\"1.1\"/>\\n' >track.gpx",
                   "eeprom.hex track.gpx", "track.gpx"),
    NOT_OVER_OTHER("html_as_kml", "printf '<!DOCTYPE html>\\n<html><!-- <kml> --></html>\\n' >page.html",
                   "eeprom.hex page.html", "page.html"),
    NOT_OVER_OTHER("angle_log_second_of_several", ANGLE_LOG, "eeprom.hex day2.hex", "day2.hex"),
    NOT_OVER_OTHER("angle_log_swapped", ANGLE_LOG " && kml day2.hex old.kml >/dev/null", "old.kml day2.hex", "day2.hex"),
    {"dangling_link", kPosixBuild, "ln -s nowhere.kml route.kml", "eeprom.hex route.kml", 1, "",
     "kml: route.kml: is a link to nothing; refusing to write through it\n", "test -L route.kml && test ! -e nowhere.kml"},
    {"block_device", kPosixBuild, "mknod disk b 7 200", "eeprom.hex disk", 1, "",
     "kml: disk: is a block device; refusing to write a KML onto it\n", "test -b disk"},
    // A link put in the KML's place while the log is read (from a FIFO) is not written through.
    {"link_swapped_in_while_reading", kPosixFiles,
     "mkfifo fifo && { { head -c 100 eeprom.hex; sleep 1; ln -s eeprom.hex route.kml; tail -c +101 eeprom.hex; } >fifo & }",
     "fifo route.kml", 1, "sample.out", "kml: route.kml: exists and is not a KML document; refusing to overwrite it\n",
     "cmp eeprom.hex \"$SAMPLE\" && test -z \"$(ls -A | grep part)\""},
    WRITE_FAILS("write_fails_old_kml_kept", kAnyBuild, "cp \"$G/huge.kml\" trasa.kml && cp trasa.kml before",
                "trasa.kml", "the KML was left as it was", "cmp before trasa.kml"),
    WRITE_FAILS("write_fails_new_kml_not_created", kAnyBuild, ":", "new.kml", "no KML was created", "test ! -e new.kml"),
    WRITE_FAILS("write_fails_through_a_link", kPosixBuild,
                "cp \"$G/huge.kml\" old.kml && cp old.kml before && ln -s old.kml route.kml", "route.kml",
                "the KML was left as it was", "cmp before old.kml && test -L route.kml"),
    WRITE_FAILS("write_fails_through_a_hard_link", kAnyBuild,
                "cp \"$G/huge.kml\" old.kml && cp old.kml before && ln old.kml route.kml", "route.kml",
                "the KML was left as it was", "cmp before old.kml && cmp before route.kml"),
    REFUSES("log_is_a_directory", kPosixBuild, "/ new.kml", "kml: /: Is a directory\n", LEFT_ALONE " && test ! -e new.kml"),
    REFUSES("kml_not_created", kAnyBuild, "eeprom.hex no/dir/out.kml", "kml: no/dir/out.kml: No such file or directory\n", ""),
    NOT_OVER_LOG("same_path", "eeprom.hex"),
    NOT_OVER_LOG("same_file_spelt_otherwise", "./eeprom.hex"),
    NOT_OVER_LOG("same_file_through_a_link", "link"),
    NOT_OVER_LOG("same_file_through_a_hard_link", "hard"),

    // A file system that fills up: no half-written KML is left behind.
    {"kml_fills_the_disk", kSmallDisk, BIG_LOG, "big.hex small/big.kml >/dev/null", 255, "",
     "kml: small/big.kml: No space left on device; no KML was created\n", "test -z \"$(ls -A small)\""},
    // A text file taken for a log converts, with a word that it may be none.
    {"text_as_log", kAnyBuild, "printf 'Dear diary, today we walked from Zakopane to the lake.\\n' >notes.txt",
     "notes.txt >/dev/null", 2, "",
     "kml: notes.txt: 4 position(s) beyond 90 degrees of latitude or 180 of longitude (first at POS 0);"
     " is this a position log?\nkml: notes.txt: log ends after 4 of 25924 records, with no end marker\n",
     "test -s trasa.kml"},
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
    if ((s.hosts == kThisBuild && (!kBuiltHere || KML_SANITIZED)) || (s.hosts == kOtherBuild && kBuiltHere) ||
        ((s.hosts == kPosixBuild || s.hosts == kSmallDisk || s.hosts == kPosixFiles) && kWindows) ||
        (s.hosts == kPosixFiles && kNode) || (s.hosts == kWithGdal && !fs::exists(OGRINFO))) {
        GTEST_SKIP() << "not for " << kProgram;
    }
    ASSERT_FALSE(GoldenDir().empty()) << "cannot copy the golden files";
    const fs::path dir = FreshDir(s.name);
    fs::copy_file(KML_SOURCE_DIR "/examples/eeprom.hex", dir / "eeprom.hex");
    // A full log's KML (1.7 MB) does not fit on `small`; unmounted however the test ends.
    std::unique_ptr<const fs::path, void (*)(const fs::path*)> unmount(
        s.hosts == kSmallDisk ? &dir : nullptr, [](const fs::path* d) { Sh(*d, "umount small"); });
    if (s.hosts == kSmallDisk &&
        Sh(dir, "mkdir small && mount -t tmpfs -o size=256k kml_test small 2>/dev/null") != 0) {
        GTEST_SKIP() << "cannot mount a small file system here";
    }
    ASSERT_EQ(0, Sh(dir, std::string("ln -s eeprom.hex link && ln eeprom.hex hard; ") + s.setup));

    EXPECT_EQ(s.status, Sh(dir, std::string("kml >stdout 2>stderr ") + s.args));
    if (s.out != nullptr) {
        EXPECT_EQ(*s.out ? Read(GoldenDir() / s.out) : "", Read(dir / "stdout"));
    }
    if (s.err != nullptr) {
        EXPECT_EQ(AsWritten(s.err), Read(dir / "stderr"));
    }
    if (*s.check) {
        EXPECT_EQ(0, Sh(dir, s.check)) << s.check;
    }
    unmount.reset();
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Run, testing::ValuesIn(kScenarios),
                         [](const testing::TestParamInfo<Scenario>& info) { return info.param.name; });

}  // namespace
