#include "position_log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

TEST(ConvPos, WorkedExamples)
{
    const struct {
        float stored;
        const char* degrees;  // as "%.5f" and "%f" print the result
    } cases[] = {
        {5012.3456f, "50.20576 50.205761"}, {1905.1234f, "19.08539 19.085390"},
        {-1905.5f, "-19.09167 -19.091667"}, {5200.0f, "52.00000 52.000000"},
        {-30.0f, "-0.50000 -0.500000"},     {17959.99f, "179.99983 179.999832"},
        {30.0f, "0.50000 0.500000"},        {0.0f, "0.00000 0.000000"},
        {5075.0f, "51.25000 51.250000"},
    };
    for (const auto& c : cases) {
        char printed[64];
        std::snprintf(printed, sizeof printed, "%.5f %f", ConvPos(c.stored), ConvPos(c.stored));
        EXPECT_EQ(std::string(c.degrees), printed) << "stored " << c.stored;
    }
    EXPECT_EQ(52.0f, ConvPos(5200.0f));
}

}  // namespace
