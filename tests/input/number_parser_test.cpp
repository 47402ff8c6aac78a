#include "input/number_parser.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace blocknest {
namespace {

struct NumberCase {
    std::string name;
    std::string text;
    double value;
    std::size_t end;
};

void PrintTo(const NumberCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class DecimalCases : public testing::TestWithParam<NumberCase> {};

TEST_P(DecimalCases, ReadTheLongestDecimalPrefix) {
    const ParsedNumber n = parseDecimal(GetParam().text);
    EXPECT_EQ(n.value, GetParam().value);
    EXPECT_EQ(n.end, GetParam().end) << "where the number ends";
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, DecimalCases,
    testing::Values(
        NumberCase{"Integer", "6000", 6000, 4}, NumberCase{"Fraction", "12.5,40", 12.5, 4},
        NumberCase{"LeadingBlanks", " \t 7", 7, 4}, NumberCase{"Signs", "-3.25x", -3.25, 5},
        NumberCase{"Plus", "+2", 2, 2}, NumberCase{"PointFirst", ".5", 0.5, 2},
        NumberCase{"PointLast", "5.", 5, 2}, NumberCase{"Exponent", "1.5e3,", 1500, 5},
        NumberCase{"IncompleteExponent", "1e,", 1, 1}, NumberCase{"ExponentSignOnly", "2e+", 2, 1},
        NumberCase{"NoHexadecimal", "0x10", 0, 1}, NumberCase{"NoInfWord", "inf", 0, 0},
        NumberCase{"NoNanWord", "nan", 0, 0}, NumberCase{"CommaIsNoDecimalPoint", "1,5", 1, 1},
        NumberCase{"LoneSign", "-", 0, 0}, NumberCase{"LonePoint", ".", 0, 0},
        NumberCase{"Empty", "", 0, 0}, NumberCase{"Underflow", "1e-400", 0, 6}),
    [](const testing::TestParamInfo<NumberCase>& info) { return info.param.name; });

TEST(NumberParserTest, ValuesBeyondTheDoubleRangeBecomeInfinite) {
    EXPECT_EQ(parseDecimal("1e400").value, std::numeric_limits<double>::infinity());
    EXPECT_EQ(parseDecimal("-1e400").value, -std::numeric_limits<double>::infinity());
    EXPECT_EQ(parseDecimal("0.00001e-400").value, 0.0);
}

TEST(NumberParserTest, NoNumberLeavesTheEndAtTheStart) {
    EXPECT_EQ(parseDecimal("ab 5", 1).end, 1u);
    EXPECT_EQ(parseDecimal("ab 5", 2).value, 5.0);
}

TEST(NumberParserTest, IntegersStopAtTheFirstOtherCharacter) {
    EXPECT_EQ(parseInteger("2.7"), 2);
    EXPECT_EQ(parseInteger("  -3"), -3);
    EXPECT_EQ(parseInteger("x5"), 0);
    EXPECT_EQ(parseInteger("99999999999999999999999"), std::numeric_limits<std::int64_t>::max());
}

TEST(ParseIntegerTest, SaturatesExactlyAtTheLargestValue) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    EXPECT_EQ(parseInteger("9223372036854775806"), kMax - 1);
    EXPECT_EQ(parseInteger("9223372036854775807"), kMax);
    EXPECT_EQ(parseInteger("9223372036854775808"), kMax) << "one more stays at the largest";
    EXPECT_EQ(parseInteger("9223372036854775799"), kMax - 8) << "the last digit is not lost";
    EXPECT_EQ(parseInteger("922337203685477580"), kMax / 10);
    EXPECT_EQ(parseInteger("-9223372036854775807"), -kMax);
}

}  // namespace
}  // namespace blocknest
