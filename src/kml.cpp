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
//        file, or the KML path names a file that is not a KML document
//   2    the log ends early or cannot be read to its end; the KML file is complete
//        and holds every whole record before that point
//   3    the listing could not be written to standard output (a full disk, a reader
//        that quit); the listing stops there, the KML file is written whole
//   -1   the KML file could not be written (a write or its close failed); the file
//        is removed, not left half written. POSIX shells show 255
#include "conversion.h"
#include "platform.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr int kKmlFailed = EOF;  // what a failed close returns; the shell sees 255

void Complain(const std::string& path, const std::string& reason)
{
    Complain(stderr, path, reason);
}

std::filesystem::file_type TypeOf(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::status(std::filesystem::u8path(path), ignored).type();
}

// True when both paths reach one file: the same spelling, "./", a link, a hard link.
bool SameFile(const std::string& a, const std::string& b)
{
    std::error_code ignored;  // a path that does not exist names no file
    return std::filesystem::equivalent(std::filesystem::u8path(a), std::filesystem::u8path(b), ignored);
}

// True for a regular file that holds something, but not what a KML document begins with:
// "<", after a UTF-8 byte order mark and white space. Such a file (another log, the log
// of a swapped command line) is never overwritten.
bool HoldsSomethingElse(const std::string& path)
{
    if (TypeOf(path) != std::filesystem::file_type::regular) {
        return false;
    }
    std::FILE* const file = OpenFile(path, "rb");
    if (file == nullptr) {
        return false;  // creating it will fail, and say why
    }
    int c = std::fgetc(file);
    if (c == 0xEF && std::fgetc(file) == 0xBB && std::fgetc(file) == 0xBF) {
        c = std::fgetc(file);
    }
    while (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
        c = std::fgetc(file);
    }
    std::fclose(file);
    return c != EOF && c != '<';
}

// Says why the run must not go on with these paths, if it must not: a log that is a
// directory, or a KML path that names the log itself or a file that is not a KML document.
bool Refuses(const std::string& logPath, const std::string& kmlPath)
{
    if (TypeOf(logPath) == std::filesystem::file_type::directory) {  // opens on some systems
        Complain(logPath, std::strerror(EISDIR));
    } else if (SameFile(logPath, kmlPath)) {  // creating the KML file truncates it
        Complain(kmlPath, "is the log itself; refusing to overwrite it");
    } else if (HoldsSomethingElse(kmlPath)) {
        Complain(kmlPath, "exists and is not a KML document; refusing to overwrite it");
    } else {
        return false;
    }
    return true;
}

// Flushes and closes the KML file; returns whether all of it arrived, having said why not.
bool CloseKml(std::FILE* kml, const std::string& path)
{
    int error = FlushError(kml);
    errno = 0;
    if (std::fclose(kml) != 0 && error == 0) {
        error = LastError();
    }
    if (error == 0) {
        return true;
    }
    // A KML cut short is a broken document: it does not stay where the route should be.
    std::error_code removal;
    if (TypeOf(path) == std::filesystem::file_type::regular &&
        std::filesystem::remove(std::filesystem::u8path(path), removal)) {
        Complain(path, std::string(std::strerror(error)) + "; the incomplete file was removed");
    } else {
        Complain(path, std::strerror(error));
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[])
{
    const std::vector<std::string> arguments = StartProcess(argc, argv);
    const std::string logPath = arguments.size() >= 2 ? arguments[1] : "eeprom.hex";
    const std::string kmlPath = arguments.size() >= 3 ? arguments[2] : "trasa.kml";

    std::FILE* const file = OpenFile(logPath, "rb");
    if (file == nullptr) {
        Complain(logPath, std::strerror(errno));
        if (logPath[0] == '-') {
            std::fprintf(stderr, "usage: kml [LOG [KML]] (kml takes no options)\n");
        }
        return kNothingConverted;
    }
    // A dump is decoded whole before the KML file is created: one that cannot be trusted
    // leaves an existing KML file as it was.
    LogStream log;
    if (Refuses(logPath, kmlPath) || !OpenLog(file, logPath, log, stderr)) {
        std::fclose(file);
        return kNothingConverted;
    }
    std::FILE* const kml = OpenFile(kmlPath, "w");
    if (kml == nullptr) {
        Complain(kmlPath, std::strerror(errno));
        std::fclose(file);
        return kNothingConverted;
    }

    const int status = ConvertLog(log, logPath, kml, stdout, stderr);
    std::fclose(file);  // read only: its close has nothing to report
    return CloseKml(kml, kmlPath) ? status : kKmlFailed;
}
