// kml: converts a GPS logger's position log into a KML route and lists every record.
//
//   kml [LOG [KML]]    LOG defaults to "eeprom.hex", KML to "trasa.kml"; further
//                      arguments are ignored.
//
// Standard output carries the listing: the record count, then two lines per record,
// as stored and as decimal degrees. Problems go to standard error, one line each.
//
// The exit status, and every diagnostic, are in outcome.h.
#include "conversion.h"
#include "kml_file.h"
#include "outcome.h"
#include "platform.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

// The log is read, and the KML written, in blocks this large.
char logBuffer[1 << 14];
char kmlBuffer[1 << 14];

// Converts the log the arguments name into its KML, into `outcome`.
void Run(const std::vector<std::string>& arguments, Outcome& outcome)
{
    const std::string logPath = arguments.size() >= 2 ? arguments[1] : "eeprom.hex";
    const std::string kmlPath = arguments.size() >= 3 ? arguments[2] : "trasa.kml";
    outcome.logPath = logPath;
    outcome.kmlPath = kmlPath;

    // A standard stream closed when kml started holds the null device: no log of the user's.
    Opened opened = NamesClosedStandardStream(logPath) ? Opened{nullptr, EBADF} : OpenFile(logPath, "rb");
    const FileId logFile = opened.stream != nullptr ? IdentifyStream(opened.stream) : FileId{};
    if (logFile.kind == FileKind::Directory) {
        std::fclose(opened.stream);  // some systems open one
        opened = {nullptr, EISDIR};
    }
    std::FILE* const file = opened.stream;
    if (file == nullptr) {
        Say(outcome, {Message::LogUnopenable, logPath, 0, {std::strerror(opened.error)}});
        // Whoever typed no log, or an option, may not know what kml takes.
        if (arguments.size() < 2) {
            std::fprintf(outcome.messageStream, "usage: kml [LOG [KML]]\n");
        } else if (logPath[0] == '-') {
            std::fprintf(outcome.messageStream, "usage: kml [LOG [KML]] (kml takes no options)\n");
        }
        return;
    }
    if (logFile.kind == FileKind::Regular && logFile.IsSameFileAs(IdentifyStandardOutput())) {
        Say(outcome, {Message::LogIsListing, logPath});  // it would read its own listing
        std::fclose(file);
        return;
    }
    std::setvbuf(file, logBuffer, _IOFBF, sizeof logBuffer);
    // Nothing is written before the paths are checked and a dump is decoded whole: a dump
    // that cannot be trusted leaves an existing KML file as it was.
    KmlFile kml;
    Log log;
    KmlResult kmlOpened = KmlResult::Refused;
    if (DecideKml(logPath, kmlPath, kml, outcome) && OpenLog(file, logPath, log, outcome)) {
        kmlOpened = OpenKml(kml, outcome);
    }
    if (kmlOpened == KmlResult::Succeeded) {
        std::setvbuf(kml.stream, kmlBuffer, _IOFBF, sizeof kmlBuffer);
        ConvertLog(log, logPath, kml.stream, stdout, outcome);
        outcome.kmlWritten = CloseKml(kml, outcome) == KmlResult::Succeeded;
    }
    std::fclose(file);  // read only: its close has nothing to report
}

}  // namespace

int main(int argc, char* argv[])
{
    const std::vector<std::string> arguments = StartProcess(argc, argv);
    Outcome outcome;
    outcome.messageStream = stderr;
    outcome.keepPositions = OutcomeTaken();
    try {
        Run(arguments, outcome);
    } catch (const std::bad_alloc&) {
        // A dump too large for the memory there is: what was made for the KML goes.
        RemoveNewFile();
        Say(outcome, {Message::LogUnopenable, arguments.size() >= 2 ? arguments[1] : "eeprom.hex", 0,
                      {std::strerror(ENOMEM)}});
    }
    const int status = ExitStatus(outcome);
    HandOver(outcome, status);
    return status;
}
