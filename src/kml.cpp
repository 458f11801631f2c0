// kml: converts a GPS logger's position log into a KML route and lists every record.
//
//   kml [LOG [KML]]    LOG defaults to "eeprom.hex", KML to "trasa.kml"; further
//                      arguments are ignored.
//
// Standard output carries the listing: the record count, then two lines per record,
// as stored and as decimal degrees. Problems go to standard error, one line each.
//
// Exit status:
//   0    the log was converted
//   1    nothing was converted: the log cannot be opened, it is a text dump that
//        cannot be trusted, the KML file cannot be created, both paths name the same
//        file, or the KML path names what must not be overwritten (a file that is not
//        a KML document, a block device, a link to nothing)
//   2    the log ends early or cannot be read to its end; the KML file is complete
//        and holds every whole record before that point
//   3    the listing could not be written to standard output (a full disk, a reader
//        that quit); the listing stops there, the KML file is written whole
//   -1   the KML file could not be written (a write or its close failed); the path is
//        left as it was. POSIX shells show 255
#include "conversion.h"
#include "kml_file.h"
#include "platform.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

// The log is read, and the KML written, in blocks this large.
char logBuffer[1 << 14];
char kmlBuffer[1 << 14];

// True when both paths reach one file: the same spelling, "./", a link, a hard link.
bool SameFile(const std::string& a, const std::string& b)
{
    std::error_code ignored;  // a path that does not exist names no file
    return std::filesystem::equivalent(std::filesystem::u8path(a), std::filesystem::u8path(b), ignored);
}

bool IsDirectory(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::is_directory(std::filesystem::u8path(path), ignored);
}

}  // namespace

int main(int argc, char* argv[])
{
    const std::vector<std::string> arguments = StartProcess(argc, argv);
    const std::string logPath = arguments.size() >= 2 ? arguments[1] : "eeprom.hex";
    const std::string kmlPath = arguments.size() >= 3 ? arguments[2] : "trasa.kml";

    std::FILE* const file = OpenFile(logPath, "rb");
    if (file == nullptr) {
        Complain(stderr, logPath, "%s", std::strerror(errno));
        // Whoever typed no log, or an option, may not know what kml takes.
        if (arguments.size() < 2) {
            std::fprintf(stderr, "usage: kml [LOG [KML]]\n");
        } else if (logPath[0] == '-') {
            std::fprintf(stderr, "usage: kml [LOG [KML]] (kml takes no options)\n");
        }
        return kNothingConverted;
    }
    std::setvbuf(file, logBuffer, _IOFBF, sizeof logBuffer);
    // Nothing is written before the paths are checked and a dump is decoded whole: a dump
    // that cannot be trusted leaves an existing KML file as it was.
    KmlFile kml;
    Log log;
    KmlResult opened = KmlResult::Refused;
    if (IsDirectory(logPath)) {  // opens on some systems
        Complain(stderr, logPath, "%s", std::strerror(EISDIR));
    } else if (SameFile(logPath, kmlPath)) {
        Complain(stderr, kmlPath, "is the log itself; refusing to overwrite it");
    } else if (DecideKml(kmlPath, kml, stderr) && OpenLog(file, logPath, log, stderr)) {
        opened = OpenKml(kml, stderr);
    }
    if (opened != KmlResult::Written) {
        std::fclose(file);
        return opened == KmlResult::Failed ? kKmlFailed : kNothingConverted;
    }

    std::setvbuf(kml.stream, kmlBuffer, _IOFBF, sizeof kmlBuffer);
    const int status = ConvertLog(log, logPath, kml.stream, stdout, stderr);
    std::fclose(file);  // read only: its close has nothing to report
    switch (CloseKml(kml, stderr)) {
    case KmlResult::Written:
        return status;
    case KmlResult::Refused:
        return kNothingConverted;
    case KmlResult::Failed:
        break;
    }
    return kKmlFailed;
}
