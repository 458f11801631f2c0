// Reading the log's bytes, ConvPos, and the number formatting of the listing and route.
#include "kml_route.h"
#include "position_log.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

std::string Printed(const char* format, double value)
{
    char text[512];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

float FromBits(std::uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// What a function wrote to a stream.
template <typename Write>
std::string Written(Write write)
{
    std::FILE* file = std::tmpfile();
    write(file);
    std::string text(static_cast<std::size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    EXPECT_EQ(text.size(), std::fread(text.data(), 1, text.size(), file));
    std::fclose(file);
    return text;
}

// A stream holding `bytes`.
std::FILE* Log(const std::string& bytes)
{
    std::FILE* file = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    return file;
}

TEST(ConvPos, WorkedExamples)
{
    const struct {
        float stored;
        const char* fixed5;  // "%.5f"
        const char* fixed6;  // "%f"
    } cases[] = {
        {5012.3456f, "50.20576", "50.205761"},   {1905.1234f, "19.08539", "19.085390"},
        {-1905.5f, "-19.09167", "-19.091667"},   {5200.0f, "52.00000", "52.000000"},
        {-30.0f, "-0.50000", "-0.500000"},       {17959.99f, "179.99983", "179.999832"},
        {30.0f, "0.50000", "0.500000"},          {0.0f, "0.00000", "0.000000"},
        {5075.0f, "51.25000", "51.250000"},      {-0.0f, "0.00000", "0.000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        const double converted = ConvPos(c.stored);
        EXPECT_EQ(c.fixed5, Printed("%.5f", converted));
        EXPECT_EQ(c.fixed6, Printed("%f", converted));
    }
    EXPECT_EQ(52.0f, ConvPos(5200.0f));
    EXPECT_EQ(-0.5f, ConvPos(-30.0f));
}

// Degrees are truncated in a double; for every value whose degrees fit 32 bits that must
// match truncation to a 32-bit integer, and the rest must not misbehave.
TEST(ConvPos, MatchesIntegerDegreesWhereTheyFit)
{
    const auto withIntegerDegrees = [](float stored) {
        const auto degrees = static_cast<std::int32_t>(stored / 100.0);
        const auto minutes = static_cast<float>(stored - degrees * 100.0);
        return static_cast<float>(degrees + minutes / 60.0);
    };
    for (std::uint64_t bits = 0; bits <= 0xFFFFFFFFu; bits += 4093) {
        const float stored = FromBits(static_cast<std::uint32_t>(bits));
        const float converted = ConvPos(stored);
        if (!std::isfinite(stored)) {
            EXPECT_TRUE(std::isnan(converted)) << stored;
        } else if (std::fabs(stored / 100.0) < 2147483648.0) {
            ASSERT_EQ(withIntegerDegrees(stored), converted) << stored;
            ASSERT_EQ(std::signbit(withIntegerDegrees(stored)), std::signbit(converted)) << stored;
        } else {
            ASSERT_TRUE(std::isfinite(converted)) << stored;
            ASSERT_EQ(std::signbit(stored), std::signbit(converted)) << stored;
        }
    }
}

TEST(Format, RecordLineIsPrintfs)
{
    std::mt19937 random(2026);
    std::uniform_int_distribution<std::uint32_t> bits;
    const double special[] = {0.0, -0.0, 5012.3456f, 0.0000005, -0.0000005, 0.0000015, 2.5e-7,
                              std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
                              std::numeric_limits<double>::max(), -std::numeric_limits<double>::lowest(),
                              std::numeric_limits<double>::denorm_min(), INFINITY, -INFINITY, NAN, -NAN};
    for (int k = 0; k < 20000; ++k) {
        const double x = k < 16 ? special[k] : FromBits(bits(random));
        const double y = k < 16 ? special[15 - k] : FromBits(bits(random));
        const std::int32_t t = k < 2 ? (k == 0 ? INT32_MIN : INT32_MAX) : static_cast<std::int32_t>(bits(random));
        char expected[1024];
        std::snprintf(expected, sizeof expected, "POS %d\tT: %d X: %f Y: %f\n", k, t, x, y);
        ASSERT_EQ(expected, Written([&](std::FILE* out) { PrintRecord(out, k, t, x, y); }));
    }
}

TEST(Format, PointLineIsPrintfs)
{
    std::mt19937 random(22);
    std::uniform_real_distribution<double> degrees(-180.0, 180.0);
    const double special[] = {0.0, -0.0, 19.0853901, 50.2057609, -0.5, -19.0916671, 0.000005,
                              -0.000005, 0.0000049999, 179.999995, std::numeric_limits<double>::max(),
                              -std::numeric_limits<double>::max(), 1e-300, 123456789012.345678};
    const int specials = sizeof special / sizeof special[0];
    for (int k = 0; k < 20000; ++k) {
        const double lon = k < specials ? special[k] : degrees(random);
        const double lat = k < specials ? special[specials - 1 - k] : degrees(random) / 2;
        char expected[1024];
        std::snprintf(expected, sizeof expected, "              %.5f,%.5f\n", lon, lat);
        ASSERT_EQ(expected, Written([&](std::FILE* kml) { WritePoint(kml, lon, lat); }));
    }
}

TEST(ReadLog, FieldsAreLittleEndian)
{
    std::FILE* log = Log(std::string("\x01\x02" "\x01\x00\x00\x80" "\x00\x00\x80\x3f" "\x00\x00\xc0\xc1", 14));
    int count = -1;
    PositionRecord record{};
    EXPECT_TRUE(ReadCount(log, count));
    EXPECT_EQ(0x0201, count);
    EXPECT_EQ(ReadResult::Record, ReadRecord(log, record));
    EXPECT_EQ(INT32_MIN + 1, record.T);
    EXPECT_EQ(1.0f, record.X);
    EXPECT_EQ(-24.0f, record.Y);
    std::fclose(log);
}

TEST(ReadLog, EndMarkerReadsNoFurther)
{
    std::FILE* log = Log(std::string("\xff\xff" "\xff\xff\xff\xff" "\x01\x02\x03\x04", 10));
    int count = 0;
    PositionRecord record{};
    EXPECT_TRUE(ReadCount(log, count));
    EXPECT_EQ(65535, count);
    EXPECT_EQ(ReadResult::EndMarker, ReadRecord(log, record));
    EXPECT_EQ(6, std::ftell(log));
    std::fclose(log);
}

TEST(ReadLog, ShortLogs)
{
    int count = -1;
    std::FILE* empty = Log("");
    EXPECT_TRUE(ReadCount(empty, count));
    EXPECT_EQ(0, count);
    std::fclose(empty);

    std::FILE* oneByte = Log("\x05");
    EXPECT_FALSE(ReadCount(oneByte, count));
    EXPECT_EQ(0, count);
    std::fclose(oneByte);

    // Every length that stops inside a record, or where one should begin.
    const std::string whole(12, '\x00');
    for (std::size_t length = 0; length < whole.size(); ++length) {
        SCOPED_TRACE(length);
        std::FILE* log = Log(whole.substr(0, length));
        PositionRecord record{};
        EXPECT_EQ(ReadResult::Short, ReadRecord(log, record));
        std::fclose(log);
    }
}

}  // namespace
