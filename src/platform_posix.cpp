// Linux, the BSDs, macOS: arguments and paths are bytes, used as they are.
#include "platform.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/syscall.h>
#endif

namespace {

// The new file: the folder it is made in, held open from then on, and its name there.
// It is made, synced, renamed and removed through the folder, wherever the folder's path
// leads meanwhile; an interrupt removes it so too. Set before the file exists, cleared
// once it is renamed or removed; a handler may read them at any moment.
char newName[256];
volatile std::sig_atomic_t newFolder = -1;
volatile std::sig_atomic_t haveNewFile = 0;

extern "C" void RemoveNewFileNow(int signal)
{
    if (haveNewFile) {
        unlinkat(newFolder, newName, 0);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// The folder of `path`, and its last name.
std::string FolderOf(const std::string& path)
{
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

const char* NameOf(const std::string& path)
{
    const std::string::size_type slash = path.rfind('/');
    return path.c_str() + (slash == std::string::npos ? 0 : slash + 1);
}

// Gives `signal` the handler that removes the new file, unless the caller had it
// ignored (nohup, a shell's background job): then it stays ignored.
void RemoveNewFileOn(int signal)
{
    struct sigaction now;
    if (sigaction(signal, nullptr, &now) == 0 && now.sa_handler != SIG_IGN) {
        std::signal(signal, RemoveNewFileNow);
    }
}

FileId Identify(const struct stat& file)
{
#if defined(__APPLE__)
    const struct timespec& written = file.st_mtimespec;
#else
    const struct timespec& written = file.st_mtim;
#endif
    return {static_cast<std::uint64_t>(file.st_dev), static_cast<std::uint64_t>(file.st_ino),
            static_cast<std::uint64_t>(file.st_size),
            static_cast<std::int64_t>(written.tv_sec) * 1000000000 + static_cast<std::int64_t>(written.tv_nsec), true};
}

// True when the folder at the path of `to`'s folder still is the folder held.
bool FolderStillThere(const std::string& to)
{
    struct stat there, held;
    return stat(FolderOf(to).c_str(), &there) == 0 && fstat(newFolder, &held) == 0 &&
           Identify(there).IsSameFileAs(Identify(held));
}

// The interrupts that remove the new file: Ctrl-C, Ctrl-\, a hang-up, SIGTERM.
constexpr int kInterrupts[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};

// While one lives, no interrupt is handled: it waits, and comes after.
class InterruptsHeld {
public:
    InterruptsHeld()
    {
        sigset_t held;
        sigemptyset(&held);
        for (const int signal : kInterrupts) {
            sigaddset(&held, signal);
        }
        sigprocmask(SIG_BLOCK, &held, &before_);
    }
    ~InterruptsHeld() { sigprocmask(SIG_SETMASK, &before_, nullptr); }
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;

private:
    sigset_t before_;
};

// Syncs the folder held, so that a rename in it outlasts a power cut: Done, or Unsynced
// and why. A file system that syncs no folder (EINVAL) needs none.
Placing SyncFolder()
{
    if (fsync(newFolder) == 0 || errno == EINVAL) {
        return {Placed::Done};
    }
    return {Placed::Unsynced, errno};
}

// A stream on `fd`, or why there is none: the error of the call that gave `fd`, or of
// making the stream (then `fd` is closed).
Opened StreamOn(int fd, const char* mode)
{
    if (fd < 0) {
        return {nullptr, errno};
    }
    std::FILE* const stream = fdopen(fd, mode);
    if (stream == nullptr) {
        const int error = errno;
        close(fd);
        return {nullptr, error};
    }
    return {stream};
}

// Whether the file `name` in the folder held, opened and read there, is still as decided.
bool StillThere(const char* name, const FileId& checked, StillAsDecided still)
{
    const Opened opened = StreamOn(openat(newFolder, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC), "rb");
    const bool as = opened.stream != nullptr && still(opened.stream, checked);
    if (opened.stream != nullptr) {
        std::fclose(opened.stream);
    }
    return as;
}

// True when `file` is the very file that standard output writes to.
bool IsStandardOutput(const struct stat& file)
{
    struct stat output;
    return fstat(STDOUT_FILENO, &output) == 0 && Identify(output).IsSameFileAs(Identify(file));
}

// renameat2 of two names in the folder held, where the system has it: false, with errno
// EINVAL or ENOSYS, where it does not (another system, an older kernel, a file system
// that cannot).
bool RenameAt2(const char* from, const char* to, unsigned flags)
{
#if defined(__linux__) && defined(SYS_renameat2)
    return syscall(SYS_renameat2, static_cast<int>(newFolder), from, static_cast<int>(newFolder), to, flags) == 0;
#else
    (void)from, (void)to, (void)flags;
    errno = ENOSYS;
    return false;
#endif
}

constexpr unsigned kRenameNoReplace = 1;  // RENAME_NOREPLACE
constexpr unsigned kRenameExchange = 2;   // RENAME_EXCHANGE

bool Unsupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == ENOTSUP;
}

}  // namespace

namespace {

// A closed standard stream is given the null device, read-only: no file the program
// opens takes its number, and what is written to it fails, as it did.
void OpenClosedStandardStreams()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF && open("/dev/null", O_RDONLY) != fd) {
            _exit(255);
        }
    }
}

// A reader that quits (`kml log.hex route.kml | head`) must not cost the route: the
// listing's writes fail instead, and the run goes on. So does a write past a file size
// limit, which is then told like any other failed write.
void IgnoreFailedWriteSignals()
{
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

// A listing that no one watches line by line goes out a buffer at a time: some C
// libraries (WebAssembly's) would write it a line at a time, a call per line.
void BufferTheListing()
{
    static char buffer[1 << 14];  // musl takes a size only with the buffer itself
    if (!isatty(STDOUT_FILENO)) {
        std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    }
}

}  // namespace

std::vector<std::string> StartProcess(int argc, char* argv[])
{
    OpenClosedStandardStreams();
    IgnoreFailedWriteSignals();
    BufferTheListing();
    return std::vector<std::string>(argv, argv + argc);  // bytes, used as they are
}

Opened OpenFile(const std::string& path, const char* mode)
{
    std::FILE* const stream = std::fopen(path.c_str(), mode);
    return {stream, stream != nullptr ? 0 : errno};
}

FileId IdentifyFile(const std::string& path)
{
    struct stat file;
    return lstat(path.c_str(), &file) == 0 ? Identify(file) : FileId{};
}

FileId IdentifyStream(std::FILE* stream)
{
    struct stat file;
    return fstat(fileno(stream), &file) == 0 ? Identify(file) : FileId{};
}

Opened CreateNewFile(const std::string& path)
{
    const char* const name = NameOf(path);
    if (std::strlen(name) >= sizeof newName) {
        return {nullptr, ENAMETOOLONG};
    }
    haveNewFile = 0;
    static std::string held;  // the folder's path, as it was opened
    if (newFolder < 0 || held != FolderOf(path)) {
        if (newFolder >= 0) {
            close(newFolder);
        }
        held = FolderOf(path);
        newFolder = open(held.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (newFolder < 0) {
            return {nullptr, errno};
        }
    }
    std::strcpy(newName, name);
    for (const int signal : kInterrupts) {
        RemoveNewFileOn(signal);
    }
    haveNewFile = 1;
    const int fd = openat(newFolder, newName, O_WRONLY | O_CREAT | O_EXCL, 0666);
    const Opened opened = StreamOn(fd, "w");
    if (opened.stream == nullptr) {
        haveNewFile = 0;
        if (fd >= 0) {
            unlinkat(newFolder, newName, 0);
        }
    }
    return opened;
}

int RemoveNewFile()
{
    const int error = haveNewFile && unlinkat(newFolder, newName, 0) != 0 && errno != ENOENT ? errno : 0;
    haveNewFile = 0;
    return error;
}

void ForgetNewFile()
{
    haveNewFile = 0;
}

void CopyPermissions(std::FILE* file, const std::string& like)
{
    struct stat old;
    if (stat(like.c_str(), &old) == 0) {
        // The owner first: changing it may clear the set-user and set-group bits.
        [[maybe_unused]] const int owned = fchown(fileno(file), old.st_uid, old.st_gid);
        fchmod(fileno(file), old.st_mode & 07777);
    }
}

int SyncFile(std::FILE* file)
{
    return fsync(fileno(file)) == 0 || errno == EINVAL || errno == EROFS ? 0 : errno;
}

Placing PlaceNewFile(const std::string& from, const std::string& to)
{
    // Linux: one step that fails if anything is at `to`. Elsewhere a link does the same,
    // on file systems that have links; on the others, a look first. All of it in the
    // folder held, which must still be the folder at the path.
    if (!FolderStillThere(to)) {
        return {Placed::Changed};
    }
    const char* const name = NameOf(from);
    const char* const target = NameOf(to);
    bool placed = RenameAt2(name, target, kRenameNoReplace);
    if (!placed && Unsupported(errno)) {
        placed = linkat(newFolder, name, newFolder, target, 0) == 0;
        if (placed) {
            unlinkat(newFolder, name, 0);
        } else if (errno != EEXIST) {
            struct stat there;
            if (fstatat(newFolder, target, &there, AT_SYMLINK_NOFOLLOW) == 0) {
                errno = EEXIST;
            } else {
                placed = renameat(newFolder, name, newFolder, target) == 0;
            }
        }
    }
    if (!placed) {
        return errno == EEXIST ? Placing{Placed::Changed} : Placing{Placed::Failed, errno};
    }
    haveNewFile = 0;
    return SyncFolder();
}

Placing ReplaceCheckedFile(const std::string& from, const std::string& to, const FileId& checked,
                           StillAsDecided still)
{
    // Linux: the two files trade places in one step; then what came out must be what was
    // decided on, or they trade back. Elsewhere, a look just before the rename. An
    // interrupt now would remove what is at the new file's name: the user's file, for a
    // moment; it waits until that name holds the new file again, or nothing.
    const InterruptsHeld held;
    if (!FolderStillThere(to)) {
        return {Placed::Changed};
    }
    const char* const name = NameOf(from);
    const char* const target = NameOf(to);
    if (RenameAt2(name, target, kRenameExchange)) {
        if (!StillThere(name, checked, still)) {
            // Back, or, where the path went meanwhile, back to it.
            if (RenameAt2(name, target, kRenameExchange) || RenameAt2(name, target, kRenameNoReplace)) {
                return {Placed::Changed};
            }
            haveNewFile = 0;  // the user's file: no interrupt may remove it
            return {Placed::Stranded};
        }
        unlinkat(newFolder, name, 0);
    } else if (Unsupported(errno) || errno == ENOENT) {
        if (!StillThere(target, checked, still)) {
            return {Placed::Changed};
        }
        if (renameat(newFolder, name, newFolder, target) != 0) {
            return {Placed::Failed, errno};
        }
    } else {
        return {Placed::Failed, errno};
    }
    haveNewFile = 0;
    return SyncFolder();
}

Opened OpenInPlace(const std::string& path, const FileId& checked, bool& changed)
{
    const int fd = open(path.c_str(), O_WRONLY | O_NOFOLLOW);
    struct stat file;
    changed = fd >= 0 && fstat(fd, &file) == 0 && Identify(file) != checked;
    if (changed) {
        close(fd);
        return {};
    }
    if (fd >= 0 && ftruncate(fd, 0) != 0) {
        const int error = errno;
        close(fd);
        return {nullptr, error};
    }
    return StreamOn(fd, "w");
}

int RefusesNewFile(const std::string& folder)
{
    // Even root may not write an immutable folder: Linux says EPERM.
    if (access(folder.c_str(), W_OK) != 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
        return errno;
    }
    return 0;
}

bool IsWrittenInPlace(const std::string& path)
{
    struct stat file;
    return stat(path.c_str(), &file) == 0 && (S_ISFIFO(file.st_mode) || S_ISCHR(file.st_mode));
}

Opened OpenAsItIs(const std::string& path)
{
    struct stat file;
    if (stat(path.c_str(), &file) != 0 || !IsStandardOutput(file)) {
        return OpenFile(path, "w");
    }
    return StreamOn(dup(STDOUT_FILENO), "w");
}

bool IsListingFile(const std::string& path)
{
    struct stat file;
    return stat(path.c_str(), &file) == 0 && S_ISREG(file.st_mode) && IsStandardOutput(file);
}
