#include "log_builder.h"

#include <charconv>
#include <cstring>
#include <iterator>
#include <random>
#include <sstream>

namespace {

void AppendU32(std::string& log, std::uint32_t bits)
{
    for (int shift = 0; shift < 32; shift += 8) {
        log += static_cast<char>(bits >> shift & 0xFF);
    }
}

std::uint32_t Bits(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// A word of a random log: an edge value, an ordinary coordinate or any 32 bits.
std::uint32_t RandomWord(std::mt19937& random)
{
    static const std::uint32_t kEdges[] = {
        0x7FC00000, 0xFFC00000, 0x7F800001, 0xFFFFFFFF,  // NaN, quiet and signalling, either sign
        0x7F800000, 0xFF800000, 0x7F7FFFFF, 0xFF7FFFFF,  // infinity, the largest floats
        0x00000001, 0x80000001, 0x80000000, 0x50000000,  // the smallest, -0, degrees near 2^31
    };
    switch (random() % 3) {
    case 0:
        return kEdges[random() % std::size(kEdges)];
    case 1:
        return Bits(static_cast<float>(static_cast<int>(random() % 3600001) - 1800000) / 100);
    default:
        return random();
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
    } else if (item == "random") {
        unsigned seed;
        if (!(words >> a) || !Parse(a, seed)) {
            return false;
        }
        AppendRandomLog(log, seed);
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
    AppendU32(log, static_cast<std::uint32_t>(t));
    AppendU32(log, Bits(x));
    AppendU32(log, Bits(y));
}

void AppendRandomLog(std::string& log, unsigned seed)
{
    std::mt19937 random(seed);
    const std::size_t start = log.size();
    AppendCount(log, random() % 4 == 0 ? 65535 : random() % 12);
    for (int words = random() % 36; words > 0; --words) {
        AppendU32(log, RandomWord(random));
    }
    if (random() % 3 == 0) {
        log.resize(start + random() % (log.size() - start + 1));
    }
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
