// Prints the program's table of outcomes, for the tests that check the README, the manual
// page and the page's words against it: "status CODE MEANING" and "said ID error|warning",
// tab-separated, one a line.
#include "outcome.h"

#include <cstdio>

int main()
{
    for (const StatusMeaning& status : kStatuses) {
        std::printf("status\t%d\t%s\n", status.code, status.meaning);
    }
    for (const MessageEntry& entry : kMessages) {
        std::printf("said\t%s\t%s\n", entry.id, entry.status != kConverted ? "error" : "warning");
    }
    return 0;
}
