// Times the program's own conversion of a full log (65,535 records), raw, as Intel HEX and
// as S-records, side by side, checks that all three give the same listing and KML, and
// prints the times: the best of the runs, which the machine's other work spoils least,
// and the median. Then whole runs of the raw log, its files in the current folder and the
// KML put in place as the program puts it (synced, renamed, the folder synced): the
// program's against its I/O floor (the same bytes read and written, nothing formatted)
// and against the same lines printed by plain stdio printf.
//
//   kml_bench [RUNS]    each form is run RUNS times (default 15), in turn
#include "conversion.h"
#include "kml_file.h"
#include "kml_route.h"
#include "log_builder.h"
#include "position_log.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kFullLog = 65535;

// The program's own conversion of `log`, whatever its form.
void Convert(std::FILE* log, std::FILE* kml, std::FILE* listing)
{
    Outcome outcome;
    outcome.messageStream = std::tmpfile();
    Log stream;
    if (outcome.messageStream == nullptr || !OpenLog(log, "full log", stream, outcome)) {
        std::fprintf(stderr, "kml_bench: the full log did not open\n");
        std::exit(1);
    }
    ConvertLog(stream, "full log", kml, listing, outcome);
    if (ExitStatus(outcome) != kConverted) {
        std::fprintf(stderr, "kml_bench: the full log did not convert\n");
        std::exit(1);
    }
    std::fclose(outcome.messageStream);
}

std::string Contents(std::FILE* file)
{
    std::string text(static_cast<std::size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    if (std::fread(text.data(), 1, text.size(), file) != text.size()) {
        std::perror("kml_bench: reading back");
        std::exit(1);
    }
    return text;
}

struct Timed {
    double seconds;
    std::string kml;
    std::string listing;
};

Timed TimeOnce(const std::string& logBytes, void (*convert)(std::FILE*, std::FILE*, std::FILE*))
{
    std::FILE* log = std::tmpfile();
    std::FILE* kml = std::tmpfile();
    std::FILE* listing = std::tmpfile();
    if (!log || !kml || !listing) {
        std::perror("kml_bench: tmpfile");
        std::exit(1);
    }
    std::fwrite(logBytes.data(), 1, logBytes.size(), log);
    std::fflush(log);
    std::rewind(log);

    const auto start = std::chrono::steady_clock::now();
    convert(log, kml, listing);
    std::fflush(kml);
    std::fflush(listing);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

    Timed timed{elapsed.count(), Contents(kml), Contents(listing)};
    std::fclose(log);
    std::fclose(kml);
    std::fclose(listing);
    return timed;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// What fills a whole run's listing and KML, from its log.
using Work = void (*)(std::FILE* log, std::FILE* kml, std::FILE* listing);

// The listing and KML of the full log, for the I/O floor to write.
std::string fullListing, fullKml;

// The I/O floor: the log read, and as many bytes of listing and KML written, as the
// program reads and writes, in the same blocks, with nothing formatted.
void OnlyInputOutput(std::FILE* log, std::FILE* kml, std::FILE* listing)
{
    static char block[1 << 14];
    while (std::fread(block, 1, sizeof block, log) == sizeof block) {
    }
    for (const auto& [text, stream] : {std::pair{&fullListing, listing}, std::pair{&fullKml, kml}}) {
        for (std::size_t at = 0; at < text->size(); at += sizeof block) {
            std::fwrite(text->data() + at, 1, std::min(sizeof block, text->size() - at), stream);
        }
    }
}

// The same records read, and the same lines written by plain stdio printf.
void WithPrintf(std::FILE* log, std::FILE* kml, std::FILE* listing)
{
    LogStream stream;
    stream.file = log;
    int count = 0;
    ReadCount(stream, count);
    std::fprintf(listing, "Ilosc pozycji: %d\n", count);
    WriteHeader(kml);
    PositionRecord record;
    for (int index = 0; index < count && ReadRecord(stream, record) == ReadResult::Record; ++index) {
        const double latitude = ConvPos(record.X), longitude = ConvPos(record.Y);
        std::fprintf(listing, "POS %d\tT: %d X: %f Y: %f\n", index, record.T, record.X, record.Y);
        std::fprintf(listing, "POS %d\tT: %d X: %f Y: %f\n", index, record.T, latitude, longitude);
        std::fprintf(kml, "              %.5f,%.5f\n", longitude, latitude);
    }
    WriteFooter(kml);
}

// One whole run as the program makes it, timed: the log read from a file here, the
// listing written to another, and the KML to a new file, synced, put in place and its
// folder synced, through the program's own KML file; every stream in 16 KiB blocks.
double TimeRun(const char* logPath, Work work)
{
    static char buffers[3][1 << 14];
    const char* const kmlPath = ".kml-bench.kml";
    std::remove(kmlPath);
    Outcome outcome;
    outcome.messageStream = stderr;
    KmlFile kml;
    const auto start = std::chrono::steady_clock::now();
    std::FILE* const log = std::fopen(logPath, "rb");
    std::FILE* const listing = std::fopen(".kml-bench.out", "w");
    if (log == nullptr || listing == nullptr || !DecideKml(logPath, kmlPath, kml, outcome) ||
        OpenKml(kml, outcome) != KmlResult::Succeeded) {
        std::fprintf(stderr, "kml_bench: a run could not be made here\n");
        std::exit(1);
    }
    std::setvbuf(log, buffers[0], _IOFBF, sizeof buffers[0]);
    std::setvbuf(listing, buffers[1], _IOFBF, sizeof buffers[1]);
    std::setvbuf(kml.stream, buffers[2], _IOFBF, sizeof buffers[2]);
    work(log, kml.stream, listing);
    const bool done = std::fclose(listing) == 0 && CloseKml(kml, outcome) == KmlResult::Succeeded;
    std::fclose(log);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::remove(kmlPath);
    std::remove(".kml-bench.out");
    if (!done) {
        std::fprintf(stderr, "kml_bench: a run's files could not be written here\n");
        std::exit(1);
    }
    return elapsed.count();
}

// The program's whole run of the full log against its I/O floor and against plain printf,
// RUNS times each, in turn.
void TimeWholeRuns(const std::string& log, int runs)
{
    const char* const logPath = ".kml-bench.log";
    std::FILE* const file = std::fopen(logPath, "wb");
    if (file == nullptr || std::fwrite(log.data(), 1, log.size(), file) != log.size() || std::fclose(file) != 0) {
        std::fprintf(stderr, "kml_bench: the full log could not be written here\n");
        std::exit(1);
    }
    std::vector<double> program, floor, printf;
    for (int run = 0; run < runs; ++run) {
        program.push_back(TimeRun(logPath, Convert));
        floor.push_back(TimeRun(logPath, OnlyInputOutput));
        printf.push_back(TimeRun(logPath, WithPrintf));
    }
    std::remove(logPath);
    std::printf("whole runs, raw log, medians: the program %.2f ms, its I/O floor %.2f ms (the program %.2fx the "
                "floor), plain stdio printf %.2f ms (the program %.2fx printf)\n",
                Median(program) * 1e3, Median(floor) * 1e3, Median(program) / Median(floor), Median(printf) * 1e3,
                Median(program) / Median(printf));
}

}  // namespace

int main(int argc, char* argv[])
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const std::string log = Walk(kFullLog);
    struct Form {
        const char* name;
        std::string bytes;
        std::vector<double> seconds;
    } forms[] = {
        {"raw log", log, {}},
        {"as Intel HEX", IntelHexDump(log, 16, 0), {}},  // as avrdude and objcopy write it
        {"as S-records", SRecordDump(log, 16, 0, false), {}},
    };
    const Timed expected = TimeOnce(log, Convert);
    // Each run takes the forms in another order: none always comes after another.
    for (int run = 0; run < 3 * runs; ++run) {
        Form& form = forms[(run + run / 3) % 3];
        const Timed timed = TimeOnce(form.bytes, Convert);
        if (timed.kml != expected.kml || timed.listing != expected.listing) {
            std::fprintf(stderr, "kml_bench: the raw log and its dump disagree (%s)\n", form.name);
            return 1;
        }
        form.seconds.push_back(timed.seconds);
    }
    std::printf("full log: %d records, %d runs each\n", kFullLog, runs);
    std::printf("%-14s %9s %9s %8s %8s %9s\n", "", "best ms", "median", "best/raw", "med/raw", "bytes");
    const double rawBest = *std::min_element(forms[0].seconds.begin(), forms[0].seconds.end());
    const double rawMedian = Median(forms[0].seconds);
    for (const Form& form : forms) {
        const double best = *std::min_element(form.seconds.begin(), form.seconds.end());
        const double median = Median(form.seconds);
        std::printf("%-14s %9.2f %9.2f %8.3f %8.3f %9zu\n", form.name, best * 1e3, median * 1e3, best / rawBest,
                    median / rawMedian, form.bytes.size());
    }
    fullListing = expected.listing;
    fullKml = expected.kml;
    TimeWholeRuns(log, runs);
    return 0;
}
