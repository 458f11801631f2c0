// Builds a position log, byte for byte, from its text description (log_builder.h).
#include "log_builder.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <iterator>
#include <random>
#include <sstream>
#include <vector>

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

// Where each record of a dump starts, in the order the dump gives them.
std::vector<std::size_t> RecordStarts(std::size_t size, std::size_t perLine, unsigned order)
{
    std::vector<std::size_t> starts;
    for (std::size_t at = 0; at < size; at += perLine) {
        starts.push_back(at);
    }
    if (order != 0) {
        std::shuffle(starts.begin(), starts.end(), std::mt19937(order));
    }
    return starts;
}

// Appends `bytes` in hex, then their checksum and a line end: the two's complement of
// their sum (Intel HEX) or its ones' complement (S-records).
void AppendHexRecord(std::string& text, const std::string& bytes, bool onesComplement)
{
    static const char kDigits[] = "0123456789ABCDEF";
    unsigned sum = 0;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        sum += byte;
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    const unsigned checksum = (onesComplement ? ~sum : 0u - sum) & 0xFF;
    text += kDigits[checksum >> 4];
    text += kDigits[checksum & 15];
    text += '\n';
}

std::string BigEndian(std::size_t value, int size)
{
    std::string bytes;
    for (int k = size - 1; k >= 0; --k) {
        bytes += static_cast<char>(value >> 8 * k & 0xFF);
    }
    return bytes;
}

}  // namespace

std::string IntelHexDump(const std::string& image, std::size_t perLine, unsigned order)
{
    std::string text;
    std::size_t upper = 0;
    for (const std::size_t at : RecordStarts(image.size(), perLine, order)) {
        if (at >> 16 != upper) {
            upper = at >> 16;
            text += ':';
            AppendHexRecord(text, BigEndian(2, 1) + BigEndian(0, 2) + BigEndian(4, 1) + BigEndian(upper, 2), false);
        }
        const std::string data = image.substr(at, perLine);
        text += ':';
        AppendHexRecord(text, BigEndian(data.size(), 1) + BigEndian(at & 0xFFFF, 2) + BigEndian(0, 1) + data, false);
    }
    return text + ":00000001FF\n";
}

std::string SRecordDump(const std::string& image, std::size_t perLine, unsigned order, bool longAddresses)
{
    std::string text;
    std::size_t records = 0;
    for (const std::size_t at : RecordStarts(image.size(), perLine, order)) {
        const int addressSize = longAddresses ? 4 : at > 0xFFFF ? 3 : 2;
        const std::string data = image.substr(at, perLine);
        text += "S" + std::to_string(addressSize - 1);
        AppendHexRecord(text, BigEndian(addressSize + data.size() + 1, 1) + BigEndian(at, addressSize) + data, true);
        ++records;
    }
    const int countSize = records > 0xFFFF ? 3 : 2;  // S5, or S6 for more records
    text += "S" + std::to_string(countSize + 3);
    AppendHexRecord(text, BigEndian(countSize + 1, 1) + BigEndian(records, countSize), true);
    return text + "S9030000FC\n";
}

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

std::string Walk(int count)
{
    std::string log;
    AppendCount(log, static_cast<unsigned>(count));
    for (int k = 0; k < count; ++k) {
        const float x = 4900.0f + static_cast<float>(k % 5959) * 0.01f + static_cast<float>(k % 7) * 0.0007f;
        const float y = -1900.0f - static_cast<float>(k % 4111) * 0.013f;
        AppendRecord(log, 80000 + k, x, y);
    }
    return log;
}
