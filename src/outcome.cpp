// Each diagnostic said on one line, whatever bytes its path and values hold, and the exit
// status that the diagnostics said give.
#include "outcome.h"

#include <algorithm>
#include <cstring>

namespace {

// How many bytes the printable UTF-8 character at `at` takes: 0 for a byte that begins
// none, and for a control character (C0, DEL, C1) or a line or paragraph separator
// (U+2028, U+2029), which a terminal may take for a line end.
std::size_t PrintableAt(const std::string& text, std::size_t at)
{
    const auto byte = [&](std::size_t k) { return at + k < text.size() ? static_cast<unsigned char>(text[at + k]) : 0u; };
    const unsigned lead = byte(0);
    if (lead < 0x80) {
        return lead >= 0x20 && lead != 0x7F ? 1 : 0;
    }
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    unsigned point = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xC0) != 0x80) {
            return 0;
        }
        point = point << 6 | (byte(k) & 0x3F);
    }
    const bool shortest = length == 2 || (length == 3 && point >= 0x800) || (length == 4 && point >= 0x10000);
    const bool character = point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF);
    const bool control = point < 0xA0 || point == 0x2028 || point == 0x2029;
    return length != 0 && shortest && character && !control ? length : 0;
}

// A path or value as one line shows it, escaped as `ls -b` shows what is not printable:
// \n, \t and the like, and any other byte as \ooo (\033, \302\205 for U+0085).
std::string Shown(const std::string& text)
{
    std::string shown;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t printable = text[at] == '\\' ? 0 : PrintableAt(text, at);
        if (printable != 0) {
            shown.append(text, at, printable);
            at += printable;
            continue;
        }
        const char c = text[at++];
        // Each control character that C names by a letter, followed by that letter; and
        // the backslash itself, doubled, so that no name looks like another.
        const char* const escape = c != 0 ? std::strchr("\aa\bb\tt\nn\vv\ff\rr", c) : nullptr;
        if (escape != nullptr || c == '\\') {
            shown += {'\\', escape != nullptr ? escape[1] : c};
        } else {
            char octal[8];
            std::snprintf(octal, sizeof octal, "\\%03o", static_cast<unsigned char>(c));
            shown += octal;
        }
    }
    return shown;
}

}  // namespace

std::string HexAddress(std::uint64_t address)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%04llX", static_cast<unsigned long long>(address));
    return text;
}

void Say(Outcome& outcome, Diagnostic diagnostic)
{
    std::string line = "kml: " + Shown(diagnostic.path) + ": ";
    if (diagnostic.line > 0) {
        line += "line " + std::to_string(diagnostic.line) + ": ";
    }
    auto value = diagnostic.values.begin();
    for (const char* words = EntryOf(diagnostic.message).words; *words != '\0'; ++words) {
        if (words[0] == '%' && words[1] == 's' && value != diagnostic.values.end()) {
            line += Shown(*value++);
            ++words;
        } else {
            line += *words;
        }
    }
    line += '\n';
    std::fputs(line.c_str(), outcome.messageStream);
    outcome.diagnostics.push_back(std::move(diagnostic));
}

int ExitStatus(const Outcome& outcome)
{
    for (const StatusName& status : kStatuses) {
        const auto gives = [&](const Diagnostic& diagnostic) { return EntryOf(diagnostic.message).status == status.code; };
        const bool said = std::any_of(outcome.diagnostics.begin(), outcome.diagnostics.end(), gives);
        if (said) {
            return status.code;
        }
    }
    return kConverted;
}
