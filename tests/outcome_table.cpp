// Prints the program's table of outcomes, for the tests that check the README, the manual
// page and the page's words against it: "status CODE MEANING" and "said ID error|warning",
// tab-separated, one a line. The meanings are the README's and the manual page's words:
// the program itself never says them.
#include "outcome.h"

#include <cstdio>

int main()
{
    const auto meaning = [](int code) {
        switch (code) {
        case kNothingConverted:
            return "nothing was converted; the KML path is as it was";
        case kKmlFailed:
            return "the KML could not be written whole";
        case kLogIncomplete:
            return "the log ends early; the KML holds every whole record before that point";
        case kListingFailed:
            return "the listing could not be written whole; the KML is complete";
        default:
            return "the log was converted";
        }
    };
    for (const StatusName& status : kStatuses) {
        std::printf("status\t%d\t%s\n", status.code, meaning(status.code));
    }
    for (const MessageEntry& entry : kMessages) {
        std::printf("said\t%s\t%s\n", entry.id, entry.status != kConverted ? "error" : "warning");
    }
    return 0;
}
