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

// The new file that an interrupt removes: set before the file exists, cleared once it is
// renamed or removed. A handler may read it at any moment.
char newFile[4096];
volatile std::sig_atomic_t haveNewFile = 0;

extern "C" void RemoveNewFile(int signal)
{
    if (haveNewFile) {
        unlink(newFile);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Gives `signal` the handler that removes the new file, unless the caller had it
// ignored (nohup, a shell's background job): then it stays ignored.
void RemoveNewFileOn(int signal)
{
    struct sigaction now;
    if (sigaction(signal, nullptr, &now) == 0 && now.sa_handler != SIG_IGN) {
        std::signal(signal, RemoveNewFile);
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

// Syncs the folder that holds `path`, so that a rename in it outlasts a power cut: Done,
// or Unsynced with errno set. A file system that syncs no folder (EINVAL) needs none.
Placed SyncFolderOf(const std::string& path)
{
    const std::string::size_type slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = open(folder.c_str(), O_RDONLY);
    const bool synced = fd >= 0 && (fsync(fd) == 0 || errno == EINVAL);
    const int error = errno;
    if (fd >= 0) {
        close(fd);
    }
    errno = error;
    return synced ? Placed::Done : Placed::Unsynced;
}

// renameat2 where the system has it: false, with errno EINVAL or ENOSYS, where it does
// not (another system, an older kernel, a file system that cannot).
bool RenameAt2(const std::string& from, const std::string& to, unsigned flags)
{
#if defined(__linux__) && defined(SYS_renameat2)
    return syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), flags) == 0;
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

std::vector<std::string> StartProcess(int argc, char* argv[])
{
    // A closed standard stream is given the null device, read-only: no file the program
    // opens takes its number, and what is written to it fails, as it did.
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF && open("/dev/null", O_RDONLY) != fd) {
            _exit(255);
        }
    }
    // A reader that quits (`kml log.hex route.kml | head`) must not cost the route: the
    // listing's writes fail instead, and the run goes on. So does a write past a file
    // size limit, which is then told like any other failed write.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    // A listing that no one watches line by line goes out a buffer at a time: some C
    // libraries (WebAssembly's) would write it a line at a time, a call per line.
    static char buffer[1 << 14];  // musl takes a size only with the buffer itself
    if (!isatty(STDOUT_FILENO)) {
        std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    }
    return std::vector<std::string>(argv, argv + argc);
}

std::FILE* OpenFile(const std::string& path, const char* mode)
{
    return std::fopen(path.c_str(), mode);
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

std::FILE* CreateNewFile(const std::string& path)
{
    if (path.size() >= sizeof newFile) {
        errno = ENAMETOOLONG;
        return nullptr;
    }
    haveNewFile = 0;
    std::memcpy(newFile, path.c_str(), path.size() + 1);
    for (const int signal : kInterrupts) {
        RemoveNewFileOn(signal);
    }
    haveNewFile = 1;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    std::FILE* const file = fd >= 0 ? fdopen(fd, "w") : nullptr;
    if (file == nullptr) {
        const int error = errno;
        haveNewFile = 0;
        if (fd >= 0) {
            close(fd);
            unlink(path.c_str());
        }
        errno = error;
    }
    return file;
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

Placed PlaceNewFile(const std::string& from, const std::string& to)
{
    // Linux: one step that fails if anything is at `to`. Elsewhere a link does the same,
    // on file systems that have links; on the others, a look first.
    bool placed = RenameAt2(from, to, kRenameNoReplace);
    if (!placed && Unsupported(errno)) {
        placed = link(from.c_str(), to.c_str()) == 0;
        if (placed) {
            unlink(from.c_str());
        } else if (errno != EEXIST) {
            struct stat there;
            if (lstat(to.c_str(), &there) == 0) {
                errno = EEXIST;
            } else {
                placed = std::rename(from.c_str(), to.c_str()) == 0;
            }
        }
    }
    if (!placed) {
        return errno == EEXIST ? Placed::Changed : Placed::Failed;
    }
    return SyncFolderOf(to);
}

Placed ReplaceCheckedFile(const std::string& from, const std::string& to, const FileId& checked,
                          StillAsDecided still)
{
    // Linux: the two files trade places in one step; then what came out must be what was
    // decided on, or they trade back. Elsewhere, a look just before the rename. An
    // interrupt now would remove what is at the new file's name: the user's file, for a
    // moment; it waits until that name holds the new file again, or nothing.
    const InterruptsHeld held;
    if (RenameAt2(from, to, kRenameExchange)) {
        if (!still(from, checked)) {
            // Back, or, where the path went meanwhile, back to it.
            if (RenameAt2(from, to, kRenameExchange) || RenameAt2(from, to, kRenameNoReplace)) {
                return Placed::Changed;
            }
            haveNewFile = 0;  // the user's file: no interrupt may remove it
            return Placed::Stranded;
        }
        unlink(from.c_str());
        haveNewFile = 0;
    } else if (Unsupported(errno) || errno == ENOENT) {
        if (!still(to, checked)) {
            return Placed::Changed;
        }
        if (std::rename(from.c_str(), to.c_str()) != 0) {
            return Placed::Failed;
        }
    } else {
        return Placed::Failed;
    }
    return SyncFolderOf(to);
}

std::FILE* OpenInPlace(const std::string& path, const FileId& checked, bool& changed)
{
    changed = false;
    const int fd = open(path.c_str(), O_WRONLY | O_NOFOLLOW);
    struct stat file;
    if (fd >= 0 && fstat(fd, &file) == 0 && !(Identify(file) == checked)) {
        changed = true;
    }
    std::FILE* const stream = fd >= 0 && !changed && ftruncate(fd, 0) == 0 ? fdopen(fd, "w") : nullptr;
    if (stream == nullptr && fd >= 0) {
        const int error = errno;
        close(fd);
        errno = error;
    }
    return stream;
}

bool IsWrittenInPlace(const std::string& path)
{
    struct stat file;
    return stat(path.c_str(), &file) == 0 && (S_ISFIFO(file.st_mode) || S_ISCHR(file.st_mode));
}

bool IsListingFile(const std::string& path)
{
    struct stat file, output;
    return stat(path.c_str(), &file) == 0 && S_ISREG(file.st_mode) && fstat(STDOUT_FILENO, &output) == 0 &&
           output.st_dev == file.st_dev && output.st_ino == file.st_ino;
}

#if !defined(KML_PAGE)  // the page's own are in platform_page.cpp
bool OutcomeTaken()
{
    return false;
}

void HandOver(const Outcome&, int) {}
#endif
