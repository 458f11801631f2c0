// The program in a page: the outcome goes to the page as data, to the `onOutcome`
// function that the page gives the program's instance, beside the exit status. It is
// {status, statuses: {converted: 0, nothingConverted: 1, ...}, said: [{id, error, status,
// path, line, values}], kmlWritten, stated, records,
// listingLines, stop, route, offTheEarth, notFinite, onTheEarth}, the last a Float64Array
// of longitude, latitude pairs.
#include "outcome.h"
#include "platform.h"

#include <emscripten.h>

#include <cstdio>

#include <string>

namespace {

// `text` as a JSON string. Bytes that are not UTF-8 are the page's decoder's to replace.
std::string Quoted(const std::string& text)
{
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += {'\\', c};
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    return quoted + '"';
}

// Each Stop as the page knows it, in the order of Stop.
constexpr const char* kStopNames[] = {"unread", "count", "end-marker", "gap", "cut"};

std::string Json(const Outcome& outcome, int status)
{
    std::string statuses;
    for (const StatusName& each : kStatuses) {
        statuses += (statuses.empty() ? "" : ",") + Quoted(each.name) + ":" + std::to_string(each.code);
    }
    std::string said;
    for (const Diagnostic& diagnostic : outcome.diagnostics) {
        const MessageEntry& entry = EntryOf(diagnostic.message);
        std::string values;
        for (const std::string& value : diagnostic.values) {
            values += (values.empty() ? "" : ",") + Quoted(value);
        }
        said += (said.empty() ? "{" : ",{") + std::string("\"id\":") + Quoted(entry.id) +
                ",\"error\":" + (entry.status != kConverted ? "true" : "false") +
                ",\"status\":" + std::to_string(entry.status) + ",\"path\":" + Quoted(diagnostic.path) +
                ",\"line\":" + std::to_string(diagnostic.line) + ",\"values\":[" + values + "]}";
    }
    return "{\"status\":" + std::to_string(status) + ",\"statuses\":{" + statuses + "},\"said\":[" + said +
           "],\"kmlWritten\":" + (outcome.kmlWritten ? "true" : "false") +
           ",\"stated\":" + std::to_string(outcome.stated) + ",\"records\":" + std::to_string(outcome.records) +
           ",\"listingLines\":" + std::to_string(outcome.listingLines) +
           ",\"stop\":" + Quoted(kStopNames[static_cast<int>(outcome.stop)]) +
           ",\"route\":" + std::to_string(outcome.route) +
           ",\"offTheEarth\":" + std::to_string(outcome.offTheEarth.count) +
           ",\"notFinite\":" + std::to_string(outcome.notFinite.count) + "}";
}

// clang-format off
EM_JS(void, HandToPage, (const char* json, const double* positions, int count), {
    const outcome = JSON.parse(UTF8ToString(json));
    outcome.onTheEarth = HEAPF64.slice(positions / 8, positions / 8 + count);
    if (Module.onOutcome) {
        Module.onOutcome(outcome);
    }
});
// clang-format on

}  // namespace

bool OutcomeTaken()
{
    return true;
}

void HandOver(const Outcome& outcome, int status)
{
    HandToPage(Json(outcome, status).c_str(), outcome.onTheEarth.data(), static_cast<int>(outcome.onTheEarth.size()));
}
