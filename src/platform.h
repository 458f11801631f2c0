// What differs between the systems kml runs on, and nothing else: how the arguments
// arrive, how files are opened, made, identified, synced and renamed by name, and what a
// vanished reader of standard output, a file size limit or an interrupt does to the
// process, and whether what runs the program takes its outcome as data. These are the
// system's operations; what is checked, when, and what is undone is the KML file's
// (kml_file.cpp). One source file implements it for each kind of system; the page adds
// one of its own.
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

// What a name gives.
enum class FileKind {
    None,         // nothing
    Regular,
    Directory,
    Link,         // a symbolic link, itself
    BlockDevice,
    Other,        // a FIFO, a character device (/dev/null, NUL, a terminal), a socket
};

// Which file a name or stream gives, and how it stands: its device and its number there,
// its size and the time it was last written. A write moves the time, and a rename does
// not; a rewrite of the same size within the clock's granularity escapes it.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t number = 0;
    std::uint64_t size = 0;
    std::int64_t written = 0;  // in the system's own unit
    FileKind kind = FileKind::None;

    bool Exists() const
    {
        return kind != FileKind::None;
    }

    // One file, whatever was written to it since.
    bool IsSameFileAs(const FileId& other) const
    {
        return Exists() && other.Exists() && device == other.device && number == other.number;
    }

    bool operator==(const FileId& other) const
    {
        return kind == other.kind && device == other.device && number == other.number && size == other.size &&
               written == other.written;
    }

    bool operator!=(const FileId& other) const
    {
        return !(*this == other);
    }
};

// The name itself: a link is a link, not what it points to.
FileId IdentifyFile(const std::string& path);
// What the name leads to, through any links.
FileId IdentifyFollowing(const std::string& path);
FileId IdentifyStream(std::FILE* stream);
FileId IdentifyStandardOutput();

// Why the folder at `folder` takes no new file `name`, as an errno value: EACCES (it is
// not writable), EROFS (a read-only file system), EPERM (immutable), ENAMETOOLONG (its
// file system takes no name that long); 0 when it takes one, or when that cannot be known
// before trying.
int RefusesNewFile(const std::string& folder, const std::string& name);

// True when `path` names a standard stream (/dev/stdin, /dev/fd/1) that was closed when
// the process started: what holds its place is no file of the user's.
bool NamesClosedStandardStream(const std::string& path);

// Opens the existing file at `path` to read and write it as it is, not following a last
// link and never waiting for a reader or writer: it is not emptied.
Opened OpenToRewrite(const std::string& path);

// Empties a file opened by OpenToRewrite, and goes back to its start: 0, or why not as an
// errno value.
int EmptyFile(std::FILE* file);

// Gives `file` the permission bits, and the owner and group where allowed, of the file
// at `like`.
void CopyPermissions(std::FILE* file, const std::string& like);

// Sends what was written to `file` (flushed) to the disk; 0, or why not as an errno
// value.
int SyncFile(std::FILE* file);

// The folder that new files are made in, held from the moment it is chosen: where the
// system allows, the calls below reach it through a handle of its own, wherever its path
// leads meanwhile, and its path is only looked at. 0, or why not as an errno value.
int HoldFolder(const std::string& folder);
FileId IdentifyHeldFolder();

// The calls below take names in the held folder, and give 0 or an errno value.

// Creates a file that does not exist yet (EEXIST when it does) and opens it for writing
// text, with the usual mode under the umask. Until ForgetNewFile or RemoveNewFile, an
// interrupt (Ctrl-C, Ctrl-\, a hang-up, SIGTERM, unless the caller had it ignored)
// removes it before the process ends.
Opened CreateNewFile(const std::string& name);
void ForgetNewFile();
int RemoveNewFile();

// Opens a name to read it, not following a last link and never waiting for a writer.
Opened OpenToCheck(const std::string& name);

// Renames `from` to `to` where nothing is: EEXIST when something is.
int RenameNoReplace(const std::string& from, const std::string& to);

// Trades the two names' files in one step: ENOSYS where the system cannot.
int ExchangeNames(const std::string& from, const std::string& to);

// Renames `from` to `to`, replacing what is there.
int RenameReplacing(const std::string& from, const std::string& to);

int RemoveName(const std::string& name);

// Syncs the folder, so that a rename in it outlasts a power cut. A folder that cannot be
// opened to be synced (one that may be written but not read) is not, and that is no
// failure.
int SyncHeldFolder();

// From HoldInterrupts on, no interrupt is handled: it waits, and comes after
// LetInterruptsCome.
void HoldInterrupts();
void LetInterruptsCome();

struct Outcome;

// Whether what runs the program takes the outcome from it as data (a page does), and
// with it the positions; a command line takes the exit status alone.
bool OutcomeTaken();

// Hands the outcome, and the exit status it gives, to what runs the program, if that
// takes it.
void HandOver(const Outcome& outcome, int status);

#endif
