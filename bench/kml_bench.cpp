// Times the converter on a full log (65,535 records) against a plain fprintf version that
// writes the same listing and KML, and prints both times and their ratio.
//
//   kml_bench [RUNS]    each side is run RUNS times (default 15); the median counts
#include "kml_route.h"
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

std::string MakeFullLog()
{
    std::string log;
    AppendCount(log, kFullLog);
    for (int k = 0; k < kFullLog; ++k) {
        // A walk that wanders over a few degrees, minutes kept below 60.
        const float x = 4900.0f + static_cast<float>(k % 5959) * 0.01f + static_cast<float>(k % 7) * 0.0007f;
        const float y = -1900.0f - static_cast<float>(k % 4111) * 0.013f;
        AppendRecord(log, 80000 + k, x, y);
    }
    return log;
}

using RecordPrinter = void (*)(std::FILE*, int, std::int32_t, double, double);
using PointWriter = void (*)(std::FILE*, double, double);

// One conversion of the log, the listing and the route formatted by the two functions given.
void Convert(std::FILE* log, std::FILE* kml, std::FILE* listing, RecordPrinter printRecord,
             PointWriter writePoint)
{
    WriteHeader(kml);
    int count = 0;
    ReadCount(log, count);
    std::fprintf(listing, "Ilosc pozycji: %d\n", count);
    PositionRecord record;
    for (int index = 0; index < count && ReadRecord(log, record) == ReadResult::Record; ++index) {
        printRecord(listing, index, record.T, record.X, record.Y);
        const float latitude = ConvPos(record.X);
        const float longitude = ConvPos(record.Y);
        printRecord(listing, index, record.T, latitude, longitude);
        writePoint(kml, longitude, latitude);
    }
    WriteFooter(kml);
}

// The baseline: the same text through fprintf alone.
void FprintfRecord(std::FILE* listing, int index, std::int32_t t, double x, double y)
{
    std::fprintf(listing, "POS %d\tT: %d X: %f Y: %f\n", index, t, x, y);
}

void FprintfPoint(std::FILE* kml, double longitude, double latitude)
{
    std::fprintf(kml, "              %.5f,%.5f\n", longitude, latitude);
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

struct Outcome {
    double seconds;
    std::string kml;
    std::string listing;
};

Outcome TimeOnce(const std::string& logBytes, RecordPrinter printRecord, PointWriter writePoint)
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
    Convert(log, kml, listing, printRecord, writePoint);
    std::fflush(kml);
    std::fflush(listing);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

    Outcome outcome{elapsed.count(), Contents(kml), Contents(listing)};
    std::fclose(log);
    std::fclose(kml);
    std::fclose(listing);
    return outcome;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char* argv[])
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const std::string log = MakeFullLog();

    std::vector<double> converter, baseline;
    for (int run = 0; run < runs; ++run) {
        const Outcome fast = TimeOnce(log, PrintRecord, WritePoint);
        const Outcome plain = TimeOnce(log, FprintfRecord, FprintfPoint);
        if (fast.kml != plain.kml || fast.listing != plain.listing) {
            std::fprintf(stderr, "kml_bench: the converter and the fprintf version disagree\n");
            return 1;
        }
        converter.push_back(fast.seconds);
        baseline.push_back(plain.seconds);
    }
    const double fast = Median(converter);
    const double plain = Median(baseline);
    std::printf("full log: %d records, %d runs each, median times\n", kFullLog, runs);
    std::printf("converter        %8.2f ms\n", fast * 1e3);
    std::printf("fprintf baseline %8.2f ms\n", plain * 1e3);
    std::printf("ratio            %8.3f\n", fast / plain);
    return 0;
}
