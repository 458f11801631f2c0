#include "run_kml.h"

#include "log_builder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

int ExitStatus(int waitStatus)
{
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
}

}  // namespace

fs::path ScratchDir()
{
    static std::atomic<int> serial{0};
    const fs::path dir = fs::temp_directory_path() /
                         ("kml_test_" + std::to_string(getpid()) + "_" + std::to_string(serial++));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string LogFromDescription(const std::string& description)
{
    std::istringstream in(description);
    std::string log, error;
    EXPECT_TRUE(BuildLog(in, log, error)) << error;
    return log;
}

KmlRun RunKml(const fs::path& dir, const std::string& args, const std::string& stdoutTo)
{
    const fs::path out = dir / "stdout.txt";
    const fs::path err = dir / "stderr.txt";
    const std::string command = "cd '" + dir.string() + "' && '" KML_BINARY "' " + args +
                                " >'" + (stdoutTo.empty() ? out.string() : stdoutTo) + "' 2>'" +
                                err.string() + "' </dev/null";
    const int status = ExitStatus(std::system(command.c_str()));
    KmlRun run{status, stdoutTo.empty() ? ReadFile(out) : "", ReadFile(err)};
    fs::remove(out);
    fs::remove(err);
    return run;
}

long PeakMemoryKib(const std::string& log, const std::string& kml)
{
    const pid_t child = fork();
    if (child == 0) {
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        execl(KML_BINARY, KML_BINARY, log.c_str(), kml.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || ExitStatus(status) != 0) {
        return -1;
    }
    return usage.ru_maxrss;
}

int RunCommand(const std::string& command, std::string& output)
{
    output.clear();
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    char buffer[4096];
    for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        output.append(buffer, got);
    }
    return ExitStatus(pclose(pipe));
}
