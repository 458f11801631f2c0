// Reads the raw position log: its count and its records, little-endian on any host, and
// converts a stored coordinate to decimal degrees.
#include "position_log.h"

#include "number_text.h"
#include "stream_errors.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace {

constexpr std::int32_t kEndMarker = -1;  // bytes FF FF FF FF

// Decodes a little-endian 32-bit field byte by byte, so the result is the same on any host.
template <typename Field>
Field Load32(const unsigned char* bytes)
{
    const std::uint32_t bits = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
                               static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    Field value;
    static_assert(sizeof value == sizeof bits);
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

template <std::size_t N>
char* Put(char* out, const char (&text)[N])
{
    std::memcpy(out, text, N - 1);
    return out + N - 1;
}

}  // namespace

std::size_t ReadLogBytes(LogStream& log, unsigned char* bytes, std::size_t size)
{
    std::size_t got = std::min(size, log.held.size() - log.at);
    std::memcpy(bytes, log.held.data() + log.at, got);
    log.at += got;
    if (got < size && log.file != nullptr) {
        errno = 0;
        got += std::fread(bytes + got, 1, size - got, log.file);
        if (got < size && std::ferror(log.file) && log.error == 0) {
            log.error = LastError();
        }
    }
    return got;
}

bool ReadCount(LogStream& log, int& count)
{
    count = 0;
    unsigned char bytes[2];
    const std::size_t got = ReadLogBytes(log, bytes, sizeof bytes);
    if (got == sizeof bytes) {
        count = bytes[0] | bytes[1] << 8;
        return true;
    }
    return got == 0 && log.error == 0;  // an empty log holds no records
}

ReadResult ReadRecord(LogStream& log, PositionRecord& record)
{
    unsigned char bytes[8];
    if (ReadLogBytes(log, bytes, 4) != 4) {
        return ReadResult::Short;
    }
    record.T = Load32<std::int32_t>(bytes);
    if (record.T == kEndMarker) {
        return ReadResult::EndMarker;
    }
    if (ReadLogBytes(log, bytes, 8) != 8) {
        return ReadResult::Short;
    }
    record.X = Load32<float>(bytes);
    record.Y = Load32<float>(bytes + 4);
    return ReadResult::Record;
}

float ConvPos(float stored)
{
    // NaN and infinity stay as they are, sign and all: arithmetic on them would give each
    // processor's own NaN, whose sign differs between processors.
    if (!std::isfinite(stored)) {
        return stored;
    }
    const double value = stored;
    // Whole degrees, truncated toward zero. Kept in a double rather than an integer: the
    // same for every value that fits 32 bits, and still defined for those that do not.
    const double degrees = std::trunc(value / 100.0);
    const float minutes = static_cast<float>(value - degrees * 100.0);
    return static_cast<float>(degrees + minutes / 60.0);
}

void PrintRecord(std::FILE* out, int index, std::int32_t t, double x, double y)
{
    char line[64 + 2 * MaxFixedLength(6)];
    char* const end = line + sizeof line;
    char* p = Put(line, "POS ");
    p = PutInt(p, index);
    p = Put(p, "\tT: ");
    p = PutInt(p, t);
    p = Put(p, " X: ");
    p = PutFixed(p, end, x, 6);
    p = Put(p, " Y: ");
    p = PutFixed(p, end, y, 6);
    *p++ = '\n';
    std::fwrite(line, 1, static_cast<std::size_t>(p - line), out);
}
