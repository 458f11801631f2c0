// What differs between the systems kml runs on, and nothing else: how the arguments
// arrive, how files are opened by name, and what a vanished reader of standard output
// does to the process. One source file implements it for each kind of system.
#ifndef KML_PLATFORM_H
#define KML_PLATFORM_H

#include <cstdio>
#include <string>
#include <vector>

// Readies the process and returns its arguments, program name first, as UTF-8 (on POSIX
// systems, the bytes as they came). Afterwards a closed standard output makes writes to
// it fail instead of ending the process.
std::vector<std::string> StartProcess(int argc, char* argv[]);

// std::fopen for a path given as UTF-8.
std::FILE* OpenFile(const std::string& path, const char* mode);

#endif
