// Prints the program's table of outcomes, for the tests that check the README, the manual
// page and the page's words against it: "status CODE MEANING" and "said ID error|warning",
// tab-separated, one a line. Fails when an entry stands out of its place.
#include "outcome.h"

#include <cstdio>

int main()
{
    for (const StatusMeaning& status : kStatuses) {
        std::printf("status\t%d\t%s\n", status.code, status.meaning);
    }
    for (std::size_t k = 0; k < kSayings.size(); ++k) {
        const Saying& saying = kSayings[k];
        if (static_cast<std::size_t>(saying.said) != k) {
            std::fprintf(stderr, "outcome_table: %s stands at %zu, not in the order of Said\n", saying.id, k);
            return 1;
        }
        std::printf("said\t%s\t%s\n", saying.id, saying.status != kConverted ? "error" : "warning");
    }
    return 0;
}
