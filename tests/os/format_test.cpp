#include "os/format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace {

// Every reader of numbers in command lines takes the whole word or nothing.
TEST(FormatNumbers, ParseNumberTakesTheWholeTextOrNothing)
{
    struct Row {
        const char* text;
        std::optional<double> value;
    };
    const Row rows[] = {
        {"25", 25.0}, {"-1.5", -1.5}, {"1e3", 1000.0}, {"0.5", 0.5}, {"", std::nullopt},
        {"25fps", std::nullopt}, {" ", std::nullopt}, {"inf", std::nullopt}, {"nan", std::nullopt},
        {"1e999", std::nullopt}, {"720x576", std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ParseNumber(row.text), row.value) << '"' << row.text << '"';
}

// A script's counts and slider positions: a fraction or an overflow is no
// number rather than a cut-off one.
TEST(FormatNumbers, ParseWholeTakesTheWholeTextOrNothing)
{
    struct Row {
        const char* text;
        std::optional<std::int32_t> value;
    };
    const Row rows[] = {
        {"25", 25}, {"-3", -3}, {"", std::nullopt}, {"2.5", std::nullopt}, {"7 ", std::nullopt},
        {"2147483647", 2147483647}, {"2147483648", std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ParseWhole(row.text), row.value) << '"' << row.text << '"';
}

} // namespace
