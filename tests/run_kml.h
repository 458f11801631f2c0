// Runs the built kml program as a process, in a directory of its own.
#ifndef KML_TESTS_RUN_KML_H
#define KML_TESTS_RUN_KML_H

#include <filesystem>
#include <string>

struct KmlRun {
    int status;       // exit status, 0 to 255
    std::string out;  // standard output
    std::string err;  // standard error
};

// A new, empty directory for one test.
std::filesystem::path ScratchDir();

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

// The log that a description (the makelog text) stands for.
std::string LogFromDescription(const std::string& description);

// Runs "kml ARGS" in `dir`. `args` is passed to the shell as it stands; `stdoutTo`, when
// given, replaces the captured standard output (e.g. "/dev/full").
KmlRun RunKml(const std::filesystem::path& dir, const std::string& args,
              const std::string& stdoutTo = "");

// Peak resident memory, in KiB, of "kml ARGS..." run with its output discarded.
long PeakMemoryKib(const std::string& log, const std::string& kml);

// Runs a shell command and returns its exit status, its output in `output`.
int RunCommand(const std::string& command, std::string& output);

#endif
