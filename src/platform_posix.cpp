// Linux, the BSDs, macOS: arguments and paths are bytes, used as they are.
#include "platform.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

}  // namespace

std::vector<std::string> StartProcess(int argc, char* argv[])
{
    // A reader that quits (`kml log.hex route.kml | head`) must not cost the route: the
    // listing's writes fail instead, and the run goes on.
    std::signal(SIGPIPE, SIG_IGN);
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

std::FILE* CreateNewFile(const std::string& path)
{
    if (path.size() >= sizeof newFile) {
        errno = ENAMETOOLONG;
        return nullptr;
    }
    haveNewFile = 0;
    std::memcpy(newFile, path.c_str(), path.size() + 1);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        std::signal(signal, RemoveNewFile);
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

bool RenameOver(const std::string& from, const std::string& to)
{
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool IsWrittenInPlace(const std::string& path)
{
    struct stat file, output;
    if (stat(path.c_str(), &file) != 0) {
        return false;
    }
    return S_ISFIFO(file.st_mode) || S_ISCHR(file.st_mode) ||
           (fstat(STDOUT_FILENO, &output) == 0 && output.st_dev == file.st_dev && output.st_ino == file.st_ino);
}
