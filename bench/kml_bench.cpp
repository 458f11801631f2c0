// Times the program's own conversion of a full log (65,535 records), raw, as Intel HEX and
// as S-records, side by side, checks that all three give the same listing and KML, and
// prints the times: the best of the runs, which the machine's other work spoils least,
// and the median. Then what making a full KML outlast a power cut costs: the KML written
// to a new file in the current folder, the file synced, put in place and the folder
// synced, by the program's own functions.
//
//   kml_bench [RUNS]    each form is run RUNS times (default 15), in turn
#include "conversion.h"
#include "kml_file.h"
#include "log_builder.h"
#include "position_log.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
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

// Writes `kml` to a new KML here through the program's own KML file, RUNS times: a new
// file beside the path, written, synced, put in place and its folder synced; prints the
// median time of the write and of the rest.
void TimeSync(const std::string& kml, int runs)
{
    const auto Since = [](std::chrono::steady_clock::time_point start) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    std::vector<double> written, synced;
    for (int run = 0; run < runs; ++run) {
        const char* const name = ".kml-bench.kml";
        std::remove(name);
        Outcome outcome;
        outcome.messageStream = stderr;
        KmlFile file;
        const auto start = std::chrono::steady_clock::now();
        if (!DecideKml("full log", name, file, outcome) || OpenKml(file, outcome) != KmlResult::Succeeded ||
            std::fwrite(kml.data(), 1, kml.size(), file.stream) != kml.size() || std::fflush(file.stream) != 0) {
            std::fprintf(stderr, "kml_bench: a KML could not be written here\n");
            std::exit(1);
        }
        written.push_back(Since(start));
        const auto syncing = std::chrono::steady_clock::now();
        const bool placed = CloseKml(file, outcome) == KmlResult::Succeeded;
        synced.push_back(Since(syncing));
        std::remove(name);
        if (!placed) {
            std::fprintf(stderr, "kml_bench: a KML could not be put in place here\n");
            std::exit(1);
        }
    }
    std::printf("a full KML (%zu bytes) written here %.2f ms, synced, put in place, folder synced %.2f ms (medians)\n",
                kml.size(), Median(written) * 1e3, Median(synced) * 1e3);
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
    TimeSync(expected.kml, runs);
    return 0;
}
