// Linux, the BSDs, macOS: arguments and paths are bytes, used as they are.
#include "platform.h"

#include <csignal>

std::vector<std::string> StartProcess(int argc, char* argv[])
{
    // A reader that quits (`kml log.hex route.kml | head`) must not cost the route: the
    // listing's writes fail instead, and the run goes on.
    std::signal(SIGPIPE, SIG_IGN);
    return std::vector<std::string>(argv, argv + argc);
}

std::FILE* OpenFile(const std::string& path, const char* mode)
{
    return std::fopen(path.c_str(), mode);
}
