// Windows: the narrow command line and std::fopen go through the ANSI code page, which
// cannot hold every name ("trasa_łódź.hex"). Arguments and paths go through the wide
// interfaces instead, and are UTF-8 inside the program.
#include "outcome.h"
#include "platform.h"

#include <windows.h>
#include <shellapi.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <io.h>
#include <sys/stat.h>

namespace {

UINT consoleOutput;
bool ownConsole = false;  // kml alone holds its console: it was started by a double-click

void RestoreConsole()
{
    SetConsoleOutputCP(consoleOutput);
}

// What a window of kml's own says after the listing, in the user's language: Polish when
// Windows speaks Polish, English otherwise.
struct WindowWords {
    const char* written;  // the log's and the KML's full paths, and the positions: counted
                          // as the listing's first line counts them, with no plural to choose
    const char* none;
    const char* close;
};

const WindowWords& Words()
{
    static const WindowWords english = {"The KML of %s is written: %s (positions: %d).\n",
                                        "No KML was written; the message above says why.\n",
                                        "Press Enter to close this window.\n"};
    static const WindowWords polish = {"Zapisano plik KML z logu %s: %s (liczba pozycji: %d).\n",
                                       "Nie zapisano pliku KML; przyczynę podano powyżej.\n",
                                       "Naciśnij Enter, aby zamknąć to okno.\n"};
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_POLISH ? polish : english;
}

// Shows UTF-8 `text` in the console of standard error, after all that was written before
// it. The console is handed its characters: the C library's text mode would take the bytes
// for characters of its own locale (so Wine's does).
void Show(const std::string& text)
{
    std::fflush(stdout);
    std::fflush(stderr);
    std::wstring wide(text.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                    static_cast<int>(wide.size())));
    DWORD written;
    WriteConsoleW(GetStdHandle(STD_ERROR_HANDLE), wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

// A console that kml alone holds closes as soon as kml ends: what it said would be gone
// before it was read.
void WaitBeforeTheConsoleCloses()
{
    Show(Words().close);
    for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar()) {
    }
}

bool IsConsole(DWORD stream)
{
    DWORD mode;
    return GetConsoleMode(GetStdHandle(stream), &mode) != 0;
}

std::wstring Wide(const std::string& path)
{
    return std::filesystem::u8path(path).wstring();
}

// The full path of `path`, or `path` itself where it has none.
std::string Full(const std::string& path)
{
    std::error_code failed;
    const std::filesystem::path full = std::filesystem::absolute(std::filesystem::u8path(path), failed);
    return failed ? path : full.u8string();
}

// A file's identity as its handle gives it; nothing where there is none.
FileId Identity(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info;
    const DWORD type = handle != INVALID_HANDLE_VALUE && handle != nullptr ? GetFileType(handle) : FILE_TYPE_UNKNOWN;
    if (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE) {
        return {0, 0, 0, 0, FileKind::Other};
    }
    if (type != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info)) {
        return {};
    }
    const auto join = [](DWORD high, DWORD low) { return static_cast<std::uint64_t>(high) << 32 | low; };
    const DWORD attributes = info.dwFileAttributes;
    const FileKind kind = attributes & FILE_ATTRIBUTE_REPARSE_POINT ? FileKind::Link
                        : attributes & FILE_ATTRIBUTE_DIRECTORY     ? FileKind::Directory
                                                                    : FileKind::Regular;
    return {info.dwVolumeSerialNumber, join(info.nFileIndexHigh, info.nFileIndexLow),
            join(info.nFileSizeHigh, info.nFileSizeLow),
            static_cast<std::int64_t>(join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime)),
            kind};
}

// What a name gives: the name itself (a link as a link) or what it leads to.
FileId IdentifyPath(const std::string& path, DWORD flags)
{
    const HANDLE handle = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
    const FileId id = Identity(handle);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
    }
    return id;
}

// The reason for the last failed call of the system, as an errno value.
int Failure()
{
    switch (GetLastError()) {
    case ERROR_ACCESS_DENIED:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
        return ENOSPC;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    default:
        return EIO;
    }
}

// The folder held: here only its path, and which folder was there when it was chosen; and
// the new file's name in it.
std::string heldFolder;
FileId heldId;
std::string newFile;

// A name in the folder held, as a wide path.
std::wstring InFolder(const std::string& name)
{
    return Wide(heldFolder + "/" + name);
}

// Messages name files in UTF-8; a console shows them right while kml runs.
void ShowUtf8InTheConsole()
{
    consoleOutput = GetConsoleOutputCP();
    if (consoleOutput != 0 && SetConsoleOutputCP(CP_UTF8)) {
        std::atexit(RestoreConsole);
    }
}

// Only when the console is kml's alone and it reads and writes there: from a command
// prompt, in a pipe or with its output in a file, kml ends as it always does.
void WaitIfTheConsoleIsOurs()
{
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) == 1 && IsConsole(STD_INPUT_HANDLE) && IsConsole(STD_OUTPUT_HANDLE) &&
        IsConsole(STD_ERROR_HANDLE)) {
        ownConsole = true;
        std::atexit(WaitBeforeTheConsoleCloses);
    }
}

// The arguments as Windows holds them, wide, in UTF-8.
std::vector<std::string> WideArguments()
{
    int count = 0;
    LPWSTR* const wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int k = 0; wide != nullptr && k < count; ++k) {
        arguments.push_back(std::filesystem::path(wide[k]).u8string());
    }
    LocalFree(wide);
    return arguments;
}

}  // namespace

std::vector<std::string> StartProcess(int, char*[])
{
    ShowUtf8InTheConsole();
    WaitIfTheConsoleIsOurs();
    return WideArguments();
}

Opened OpenFile(const std::string& path, const char* mode)
{
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    std::FILE* const stream = _wfopen(Wide(path).c_str(), wideMode.c_str());
    return {stream, stream != nullptr ? 0 : errno};
}

FileId IdentifyFile(const std::string& path)
{
    return IdentifyPath(path, FILE_FLAG_OPEN_REPARSE_POINT);
}

FileId IdentifyFollowing(const std::string& path)
{
    return IdentifyPath(path, 0);
}

FileId IdentifyStream(std::FILE* stream)
{
    return Identity(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))));
}

FileId IdentifyStandardOutput()
{
    return Identity(GetStdHandle(STD_OUTPUT_HANDLE));
}

int RefusesNewFile(const std::string&, const std::string&)
{
    return 0;  // known only by trying
}

bool NamesClosedStandardStream(const std::string&)
{
    return false;  // a closed stream has no name here
}

Opened OpenToRewrite(const std::string& path)
{
    return OpenFile(path, "r+");
}

int EmptyFile(std::FILE* file)
{
    std::rewind(file);
    return _chsize(_fileno(file), 0) == 0 ? 0 : errno;
}

void CopyPermissions(std::FILE*, const std::string&)
{
    // A new file takes its folder's permissions, as the replaced one did.
}

int SyncFile(std::FILE* file)
{
    return _commit(_fileno(file)) == 0 ? 0 : errno;
}

int HoldFolder(const std::string& folder)
{
    heldFolder = folder;
    heldId = IdentifyFollowing(folder);
    return heldId.Exists() ? 0 : ENOENT;
}

FileId IdentifyHeldFolder()
{
    return heldId;
}

Opened CreateNewFile(const std::string& name)
{
    const int fd = _wopen(InFolder(name).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_TEXT, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        return {nullptr, errno};
    }
    newFile = name;
    std::FILE* const file = _fdopen(fd, "w");
    if (file == nullptr) {
        const int error = errno;
        _close(fd);
        RemoveNewFile();
        return {nullptr, error};
    }
    return {file};
}

void ForgetNewFile()
{
    newFile.clear();
    // Ctrl-C ends a console program at once, with no handler of ours in between.
}

int RemoveNewFile()
{
    const int error = !newFile.empty() && _wremove(InFolder(newFile).c_str()) != 0 && errno != ENOENT ? errno : 0;
    newFile.clear();
    return error;
}

Opened OpenToCheck(const std::string& name)
{
    return OpenFile(heldFolder + "/" + name, "rb");
}

int RenameNoReplace(const std::string& from, const std::string& to)
{
    // Without MOVEFILE_REPLACE_EXISTING, the move fails if anything is at `to`.
    return MoveFileExW(InFolder(from).c_str(), InFolder(to).c_str(), MOVEFILE_WRITE_THROUGH) ? 0 : Failure();
}

int ExchangeNames(const std::string&, const std::string&)
{
    return ENOSYS;
}

int RenameReplacing(const std::string& from, const std::string& to)
{
    return MoveFileExW(InFolder(from).c_str(), InFolder(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : Failure();
}

int RemoveName(const std::string& name)
{
    return _wremove(InFolder(name).c_str()) == 0 ? 0 : errno;
}

int SyncHeldFolder()
{
    return 0;  // the moves were written through
}

void HoldInterrupts() {}

void LetInterruptsCome() {}

bool OutcomeTaken()
{
    return false;
}

// A window of kml's own says, after the listing, which log was read and where its KML was
// written, since whoever double-clicked kml.exe or dropped a log onto it cannot see the
// folder it ran in.
void HandOver(const Outcome& outcome, int)
{
    if (!ownConsole) {
        return;
    }
    const WindowWords& words = Words();
    if (!outcome.kmlWritten) {
        Show(words.none);
        return;
    }
    const std::string log = Full(outcome.logPath);
    const std::string kml = Full(outcome.kmlPath);
    std::string said(std::strlen(words.written) + log.size() + kml.size() + 16, '\0');
    said.resize(std::snprintf(&said[0], said.size(), words.written, log.c_str(), kml.c_str(), outcome.route));
    Show(said);
}
