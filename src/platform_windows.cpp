// Windows: the narrow command line and std::fopen go through the ANSI code page, which
// cannot hold every name ("trasa_łódź.hex"). Arguments and paths go through the wide
// interfaces instead, and are UTF-8 inside the program.
#include "platform.h"

#include <windows.h>
#include <shellapi.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <io.h>
#include <sys/stat.h>

namespace {

UINT consoleOutput;

void RestoreConsole()
{
    SetConsoleOutputCP(consoleOutput);
}

std::wstring Wide(const std::string& path)
{
    return std::filesystem::u8path(path).wstring();
}

// Where a handle's file lives: its volume and its number on it.
bool Identify(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info)
{
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetFileInformationByHandle(handle, &info);
}

}  // namespace

std::vector<std::string> StartProcess(int, char*[])
{
    // Messages name files in UTF-8; a console shows them right while kml runs.
    consoleOutput = GetConsoleOutputCP();
    if (consoleOutput != 0 && SetConsoleOutputCP(CP_UTF8)) {
        std::atexit(RestoreConsole);
    }
    int count = 0;
    LPWSTR* const wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int k = 0; wide != nullptr && k < count; ++k) {
        arguments.push_back(std::filesystem::path(wide[k]).u8string());
    }
    LocalFree(wide);
    return arguments;
}

std::FILE* OpenFile(const std::string& path, const char* mode)
{
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(Wide(path).c_str(), wideMode.c_str());
}

std::FILE* CreateNewFile(const std::string& path)
{
    const int fd = _wopen(Wide(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_TEXT, _S_IREAD | _S_IWRITE);
    std::FILE* const file = fd >= 0 ? _fdopen(fd, "w") : nullptr;
    if (file == nullptr && fd >= 0) {
        _close(fd);
        _wremove(Wide(path).c_str());
    }
    return file;
}

void ForgetNewFile()
{
    // Ctrl-C ends a console program at once, with no handler of ours in between.
}

void CopyPermissions(std::FILE*, const std::string&)
{
    // A new file takes its folder's permissions, as the replaced one did.
}

bool RenameOver(const std::string& from, const std::string& to)
{
    if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return true;
    }
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return false;
}

bool IsWrittenInPlace(const std::string& path)
{
    const HANDLE handle = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION output, file;
    const DWORD type = GetFileType(handle);
    const bool inPlace = type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE ||
                         (Identify(GetStdHandle(STD_OUTPUT_HANDLE), output) && Identify(handle, file) &&
                          output.dwVolumeSerialNumber == file.dwVolumeSerialNumber &&
                          output.nFileIndexHigh == file.nFileIndexHigh && output.nFileIndexLow == file.nFileIndexLow);
    CloseHandle(handle);
    return inPlace;
}
