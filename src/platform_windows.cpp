// Windows: the narrow command line and std::fopen go through the ANSI code page, which
// cannot hold every name ("trasa_łódź.hex"). Arguments and paths go through the wide
// interfaces instead, and are UTF-8 inside the program.
#include "platform.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <filesystem>

namespace {

UINT consoleOutput;

void RestoreConsole()
{
    SetConsoleOutputCP(consoleOutput);
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
    return _wfopen(std::filesystem::u8path(path).c_str(), wideMode.c_str());
}
