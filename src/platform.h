// What differs between the systems kml runs on, and nothing else: how the arguments
// arrive, how files are opened, made and renamed by name, and what a vanished reader of
// standard output or an interrupt does to the process. One source file implements it for
// each kind of system.
#ifndef KML_PLATFORM_H
#define KML_PLATFORM_H

#include <cstdio>
#include <string>
#include <vector>

// Readies the process and returns its arguments, program name first, as UTF-8 (on POSIX
// systems, the bytes as they came). Afterwards a closed standard output makes writes to
// it fail instead of ending the process, and standard output that is no terminal is
// written a buffer at a time.
std::vector<std::string> StartProcess(int argc, char* argv[]);

// std::fopen for a path given as UTF-8.
std::FILE* OpenFile(const std::string& path, const char* mode);

// Creates a file that does not exist yet (errno EEXIST when it does) and opens it for
// writing text, with the usual mode under the umask. Until ForgetNewFile, an interrupt
// (Ctrl-C, a hang-up, SIGTERM) removes it before the process ends.
std::FILE* CreateNewFile(const std::string& path);
void ForgetNewFile();

// Gives `file` the permission bits, and the owner and group where allowed, of the file
// at `like`.
void CopyPermissions(std::FILE* file, const std::string& like);

// Renames `from` over `to`, which it replaces at once; false, with errno set, on failure.
bool RenameOver(const std::string& from, const std::string& to);

// True for what is written as it is, never replaced: a FIFO or pipe, a character device
// (/dev/null, NUL, a terminal), or the very file that standard output writes to.
bool IsWrittenInPlace(const std::string& path);

#endif
