#include "log_builder.h"

#include <charconv>
#include <cstring>
#include <sstream>

namespace {

void AppendU32(std::string& log, std::uint32_t bits)
{
    for (int shift = 0; shift < 32; shift += 8) {
        log += static_cast<char>(bits >> shift & 0xFF);
    }
}

template <typename Number>
bool Parse(const std::string& word, Number& value, int base = 10)
{
    const char* const end = word.data() + word.size();
    std::from_chars_result result;
    if constexpr (std::is_floating_point_v<Number>) {
        result = std::from_chars(word.data(), end, value);
    } else {
        result = std::from_chars(word.data(), end, value, base);
    }
    return !word.empty() && result.ec == std::errc() && result.ptr == end;
}

// Appends the bytes of one item, whose name has been read from `words`.
bool BuildItem(std::istringstream& words, const std::string& item, std::string& log)
{
    std::string a, b, c;
    if (item == "count") {
        std::uint16_t count;
        if (!(words >> a) || !Parse(a, count)) {
            return false;
        }
        AppendCount(log, count);
    } else if (item == "record") {
        std::int32_t t;
        float x, y;
        if (!(words >> a >> b >> c) || !Parse(a, t) || !Parse(b, x) || !Parse(c, y)) {
            return false;
        }
        AppendRecord(log, t, x, y);
    } else if (item == "end") {
        AppendEndMarker(log);
    } else if (item == "bytes") {
        std::uint8_t byte;
        if (!(words >> a)) {
            return false;
        }
        do {
            if (!Parse(a, byte, 16)) {
                return false;
            }
            log += static_cast<char>(byte);
        } while (words >> a);
    } else {
        return false;
    }
    return true;
}

}  // namespace

void AppendCount(std::string& log, unsigned count)
{
    log += static_cast<char>(count & 0xFF);
    log += static_cast<char>(count >> 8 & 0xFF);
}

void AppendRecord(std::string& log, std::int32_t t, float x, float y)
{
    std::uint32_t bits;
    std::memcpy(&bits, &t, sizeof bits);
    AppendU32(log, bits);
    std::memcpy(&bits, &x, sizeof bits);
    AppendU32(log, bits);
    std::memcpy(&bits, &y, sizeof bits);
    AppendU32(log, bits);
}

void AppendEndMarker(std::string& log)
{
    AppendU32(log, 0xFFFFFFFF);
}

bool BuildLog(std::istream& description, std::string& log, std::string& error)
{
    std::string line;
    for (int number = 1; std::getline(description, line); ++number) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string item, extra;
        if (!(words >> item)) {
            continue;
        }
        if (!BuildItem(words, item, log) || words >> extra) {
            error = "line " + std::to_string(number) + ": cannot read \"" + line + "\"";
            return false;
        }
    }
    return true;
}
