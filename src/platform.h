// What differs between the systems kml runs on, and nothing else: how the arguments
// arrive, how files are opened, made, identified, synced and renamed by name, and what a
// vanished reader of standard output, a file size limit or an interrupt does to the
// process, and whether what runs the program takes its outcome as data. One source file
// implements it for each kind of system; the page adds one of its own.
#ifndef KML_PLATFORM_H
#define KML_PLATFORM_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Readies the process and returns its arguments, program name first, as UTF-8 (on POSIX
// systems, the bytes as they came). Afterwards a closed standard output makes writes to
// it fail instead of ending the process, and so does a file size limit; a standard
// stream that was closed holds the null device, where writes fail, so that no file the
// program opens takes its place; and standard output that is no terminal is written a
// buffer at a time.
std::vector<std::string> StartProcess(int argc, char* argv[]);

// What opening a file came to: the stream, or why there is none, as an errno value.
struct Opened {
    std::FILE* stream = nullptr;
    int error = 0;
};

// std::fopen for a path given as UTF-8.
Opened OpenFile(const std::string& path, const char* mode);

// Which file a name gives, not following a last link, and how it stands: its device and
// its number there, its size and the time it was last written, which any write moves (and
// a rename does not). Two looks give equal ones exactly when they found one file, written
// no more between them.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t number = 0;
    std::uint64_t size = 0;
    std::int64_t written = 0;  // in the system's own unit
    bool exists = false;

    // One file, whatever was written to it since.
    bool IsSameFileAs(const FileId& other) const
    {
        return exists && other.exists && device == other.device && number == other.number;
    }

    bool operator==(const FileId& other) const
    {
        return exists == other.exists && device == other.device && number == other.number && size == other.size &&
               written == other.written;
    }

    bool operator!=(const FileId& other) const
    {
        return !(*this == other);
    }
};
FileId IdentifyFile(const std::string& path);

// Which file an open stream reads or writes.
FileId IdentifyStream(std::FILE* stream);

// Creates a file that does not exist yet (EEXIST when it does) and opens it for
// writing text, with the usual mode under the umask. Where the system allows, its folder
// is held open, and the new file is renamed and removed through it, wherever the
// folder's path leads meanwhile; the folder at the path must still be that folder when
// it is put in place. Until ForgetNewFile, an interrupt (Ctrl-C, Ctrl-\, a hang-up,
// SIGTERM, unless the caller had it ignored) removes it before the process ends.
Opened CreateNewFile(const std::string& path);
void ForgetNewFile();

// Removes the new file, if it is still there: 0, or why not as an errno value.
int RemoveNewFile();

// Gives `file` the permission bits, and the owner and group where allowed, of the file
// at `like`.
void CopyPermissions(std::FILE* file, const std::string& like);

// Sends what was written to `file` (flushed) to the disk; 0, or why not as an errno
// value.
int SyncFile(std::FILE* file);

// What putting the new file in its place did.
enum class Placed {
    Done,     // it is there
    Changed,  // the path no longer holds what was decided on: nothing was replaced
    Stranded, // so, and what was there could not be put back: it is at the new file's name
    Failed,   // the system refused: nothing was replaced
    Unsynced, // it is there, but its folder could not be synced to the disk
};

// What it did, and why it failed (Failed, Unsynced) as an errno value.
struct Placing {
    Placed placed;
    int error = 0;
};

// Puts the new file `from` at `to`, where nothing may be (nor may the folder have moved);
// the folder is synced after.
Placing PlaceNewFile(const std::string& from, const std::string& to);

// Whether `file`, opened where the KML goes, still is the one decided on: the very file
// `checked`, unchanged, with the content that was decided on.
using StillAsDecided = bool (*)(std::FILE* file, const FileId& checked);

// Puts the new file `from` in place of the file at `to`, which must still be as decided
// (`still`): where the system trades two files in one step, what that takes out is read
// and checked, and traded back if it is not; elsewhere the file at `to` is checked just
// before the rename. No interrupt is handled between the trade and its check. The folder
// is synced after.
Placing ReplaceCheckedFile(const std::string& from, const std::string& to, const FileId& checked,
                           StillAsDecided still);

// Opens for writing, emptied, the existing file at `path`, which must still be `checked`
// (`changed` set, and no stream, when it is not).
Opened OpenInPlace(const std::string& path, const FileId& checked, bool& changed);

// Why the folder at `folder` takes no new file, as an errno value: EACCES (it is not
// writable), EROFS (a read-only file system), EPERM (immutable); 0 when it takes one, or
// when that cannot be known before trying.
int RefusesNewFile(const std::string& folder);

// True for what is written as it is, never replaced: a FIFO or pipe, a character device
// (/dev/null, NUL, a terminal).
bool IsWrittenInPlace(const std::string& path);

// Opens for writing what is written as it is: standard output itself through standard
// output (a socket, say, cannot be opened by its name), anything else by its path.
Opened OpenAsItIs(const std::string& path);

// True when `path` leads to the regular file that standard output writes to, the
// listing's own (`kml log notes.txt >>notes.txt`, /dev/stdout, /dev/fd/1).
bool IsListingFile(const std::string& path);

struct Outcome;

// Whether what runs the program takes the outcome from it as data (a page does), and
// with it the positions; a command line takes the exit status alone.
bool OutcomeTaken();

// Hands the outcome, and the exit status it gives, to what runs the program, if that
// takes it.
void HandOver(const Outcome& outcome, int status);

#endif
