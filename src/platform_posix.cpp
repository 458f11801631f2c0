// Linux, the BSDs, macOS: arguments and paths are bytes, used as they are.
#include "platform.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/syscall.h>
#endif

namespace fs = std::filesystem;

namespace {

// The folder held, and the new file's name in it. A handler may read them at any moment:
// an interrupt removes the new file through the folder, as everything else does.
char newName[256];
volatile std::sig_atomic_t heldFolder = -1;
volatile std::sig_atomic_t haveNewFile = 0;

extern "C" void RemoveNewFileNow(int signal)
{
    if (haveNewFile) {
        unlinkat(heldFolder, newName, 0);
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
        std::signal(signal, RemoveNewFileNow);
    }
}

// The signals that end the process and remove the new file first: Ctrl-C, Ctrl-\, a
// hang-up, SIGTERM, and every other that ends it and may be caught (a timer, a CPU limit).
constexpr int kInterrupts[] = {SIGINT, SIGQUIT, SIGTERM,   SIGHUP,    SIGALRM,
                               SIGUSR1, SIGUSR2, SIGXCPU, SIGVTALRM, SIGPROF};

FileKind KindOf(mode_t mode)
{
    return S_ISREG(mode) ? FileKind::Regular : S_ISDIR(mode) ? FileKind::Directory : S_ISLNK(mode) ? FileKind::Link
         : S_ISBLK(mode) ? FileKind::BlockDevice : FileKind::Other;
}

// What a stat call gave, or nothing where it failed.
FileId Identify(int result, const struct stat& file)
{
    if (result != 0) {
        return {};
    }
#if defined(__APPLE__)
    const struct timespec& written = file.st_mtimespec;
#else
    const struct timespec& written = file.st_mtim;
#endif
    return {static_cast<std::uint64_t>(file.st_dev), static_cast<std::uint64_t>(file.st_ino),
            static_cast<std::uint64_t>(file.st_size),
            static_cast<std::int64_t>(written.tv_sec) * 1000000000 + static_cast<std::int64_t>(written.tv_nsec),
            KindOf(file.st_mode)};
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

int ErrorOf(int result)
{
    return result == 0 ? 0 : errno;
}

// renameat2 of two names in the folder held, where the system has it: ENOSYS where it
// does not (another system, an older kernel; EINVAL, a file system that cannot).
int RenameAt2(const std::string& from, const std::string& to, unsigned flags)
{
#if defined(__linux__) && defined(SYS_renameat2)
    const int held = heldFolder;
    if (syscall(SYS_renameat2, held, from.c_str(), held, to.c_str(), flags) == 0) {
        return 0;
    }
    return errno == EINVAL || errno == ENOTSUP ? ENOSYS : errno;
#else
    (void)from, (void)to, (void)flags;
    return ENOSYS;
#endif
}

constexpr unsigned kRenameNoReplace = 1;  // RENAME_NOREPLACE
constexpr unsigned kRenameExchange = 2;   // RENAME_EXCHANGE

sigset_t beforeHeld;

bool closedAtStart[3];  // which standard streams were

// A closed standard stream is given the null device, read-only: no file the program
// opens takes its number, and what is written to it fails, as it did.
void OpenClosedStandardStreams()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        closedAtStart[fd] = fcntl(fd, F_GETFD) == -1 && errno == EBADF;
        if (closedAtStart[fd] && open("/dev/null", O_RDONLY) != fd) {
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
    const int result = lstat(path.c_str(), &file);
    return Identify(result, file);
}

FileId IdentifyFollowing(const std::string& path)
{
    struct stat file;
    const int result = stat(path.c_str(), &file);
    return Identify(result, file);
}

FileId IdentifyStream(std::FILE* stream)
{
    struct stat file;
    const int result = fstat(fileno(stream), &file);
    return Identify(result, file);
}

FileId IdentifyStandardOutput()
{
    struct stat file;
    const int result = fstat(STDOUT_FILENO, &file);
    return Identify(result, file);
}

int RefusesNewFile(const std::string& folder, const std::string& name)
{
    // Even root may not write an immutable folder: Linux says EPERM.
    if (access(folder.c_str(), W_OK) != 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
        return errno;
    }
    const long longest = pathconf(folder.c_str(), _PC_NAME_MAX);
    return longest > 0 && name.size() > static_cast<std::size_t>(longest) ? ENAMETOOLONG : 0;
}

bool NamesClosedStandardStream(const std::string& path)
{
    // Followed link by link: /dev/stdin leads to /proc/self/fd/0, and that to what holds
    // the stream's place.
    std::error_code error;
    const fs::path streams = fs::canonical("/proc/self/fd", error);
    fs::path at = path;
    for (int link = 0; link < 40 && !error; ++link) {
        const fs::path folder = fs::canonical(fs::absolute(at, error).parent_path(), error);
        const std::string name = at.filename().string();
        if (!error && folder == streams && name.size() == 1 && name[0] >= '0' && name[0] <= '2') {
            return closedAtStart[name[0] - '0'];
        }
        const fs::path next = fs::read_symlink(at, error);
        at = next.is_absolute() ? next : folder / next;
    }
    return false;
}

Opened OpenToRewrite(const std::string& path)
{
    return StreamOn(open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC), "r+");
}

int EmptyFile(std::FILE* file)
{
    std::rewind(file);
    return ErrorOf(ftruncate(fileno(file), 0));
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

int HoldFolder(const std::string& folder)
{
#if defined(__linux__) && defined(O_PATH)
    // Held without being read: a folder that may be written but not read is held too.
    constexpr int kHold = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
    constexpr int kHold = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif
    if (heldFolder >= 0) {
        close(heldFolder);
    }
    heldFolder = open(folder.c_str(), kHold);
    return heldFolder >= 0 ? 0 : errno;
}

FileId IdentifyHeldFolder()
{
    struct stat folder;
    const int result = fstat(heldFolder, &folder);
    return Identify(result, folder);
}

Opened CreateNewFile(const std::string& name)
{
    if (name.size() >= sizeof newName) {
        return {nullptr, ENAMETOOLONG};
    }
    haveNewFile = 0;
    std::strcpy(newName, name.c_str());
    for (const int signal : kInterrupts) {
        RemoveNewFileOn(signal);
    }
    // The name is the program's from the moment it makes the file, and not before: a name
    // in use stays another's, whatever signal comes.
    HoldInterrupts();
    const int fd = openat(heldFolder, newName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    haveNewFile = fd >= 0;
    LetInterruptsCome();
    const Opened opened = StreamOn(fd, "w");
    if (opened.stream == nullptr && fd >= 0) {
        RemoveNewFile();
    }
    return opened;
}

void ForgetNewFile()
{
    haveNewFile = 0;
}

int RemoveNewFile()
{
    const int error = haveNewFile && unlinkat(heldFolder, newName, 0) != 0 && errno != ENOENT ? errno : 0;
    haveNewFile = 0;
    return error;
}

Opened OpenToCheck(const std::string& name)
{
    return StreamOn(openat(heldFolder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC), "rb");
}

int RenameNoReplace(const std::string& from, const std::string& to)
{
    // Linux: one step that fails if anything is at `to`. Elsewhere a link does the same,
    // on file systems that have links; on the others, a look first.
    const int held = heldFolder;
    int error = RenameAt2(from, to, kRenameNoReplace);
    if (error == ENOSYS) {
        error = ErrorOf(linkat(held, from.c_str(), held, to.c_str(), 0));
        if (error == 0) {
            unlinkat(held, from.c_str(), 0);
        } else if (error != EEXIST) {
            struct stat there;
            error = fstatat(held, to.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0
                        ? EEXIST
                        : ErrorOf(renameat(held, from.c_str(), held, to.c_str()));
        }
    }
    return error;
}

int ExchangeNames(const std::string& from, const std::string& to)
{
    return RenameAt2(from, to, kRenameExchange);
}

int RenameReplacing(const std::string& from, const std::string& to)
{
    const int held = heldFolder;
    return ErrorOf(renameat(held, from.c_str(), held, to.c_str()));
}

int RemoveName(const std::string& name)
{
    return ErrorOf(unlinkat(heldFolder, name.c_str(), 0));
}

int SyncHeldFolder()
{
    const int folder = openat(heldFolder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        return 0;
    }
    // A file system that syncs no folder (EINVAL) needs none.
    const int error = fsync(folder) == 0 || errno == EINVAL ? 0 : errno;
    close(folder);
    return error;
}

void HoldInterrupts()
{
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : kInterrupts) {
        sigaddset(&held, signal);
    }
    sigprocmask(SIG_BLOCK, &held, &beforeHeld);
}

void LetInterruptsCome()
{
    sigprocmask(SIG_SETMASK, &beforeHeld, nullptr);
}
