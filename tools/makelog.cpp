// makelog: writes a position log from its text description (see log_builder.h).
//
//   makelog DESCRIPTION LOG
#include "log_builder.h"

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: makelog DESCRIPTION LOG\n");
        return 2;
    }
    std::ifstream description(argv[1]);
    if (!description) {
        std::fprintf(stderr, "makelog: %s: cannot open\n", argv[1]);
        return 1;
    }
    std::string log, error;
    if (!BuildLog(description, log, error)) {
        std::fprintf(stderr, "makelog: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary);
    if (!out.write(log.data(), static_cast<std::streamsize>(log.size())) || !out.flush()) {
        std::fprintf(stderr, "makelog: %s: cannot write\n", argv[2]);
        return 1;
    }
    return 0;
}
