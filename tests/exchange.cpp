// Swaps the files at two paths in one step, as a hostile or unlucky neighbour of the
// program might while it runs (Linux's renameat2 with RENAME_EXCHANGE).
//
//   kml_exchange A B          once
//   kml_exchange A B STOP     again and again, until a file STOP exists; then an even
//                             number of times in all, so each file is back at its name
#include <cstdio>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: kml_exchange A B [STOP]\n");
        return 2;
    }
    const auto exchange = [&] { return syscall(SYS_renameat2, AT_FDCWD, argv[1], AT_FDCWD, argv[2], 2) == 0; };
    long swaps = 0;
    do {
        if (!exchange()) {
            std::perror("kml_exchange");
            return 1;
        }
        ++swaps;
    } while (argc > 3 && (swaps % 2 == 1 || access(argv[3], F_OK) != 0));
    return 0;
}
