#include "stock/cost_bound.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace blocknest {
namespace {

SheetKind kind(double length, double width, std::int64_t count, double cost) {
    SheetKind k = rectangleKind(length, width);
    k.count = count;
    k.cost = cost;
    return k;
}

// Every choice of how many sheets of each kind, the cheapest whose material covers the area.
std::optional<double> cheapestByEveryChoice(const std::vector<SheetKind>& kinds, double area) {
    std::optional<double> best;
    std::vector<std::int64_t> n(kinds.size(), 0);
    for (;;) {
        double material = 0;
        double cost = 0;
        for (std::size_t k = 0; k < kinds.size(); ++k) {
            material += static_cast<double>(n[k]) * kinds[k].length * kinds[k].width;
            cost += static_cast<double>(n[k]) * kinds[k].cost;
        }
        if (material >= area && (!best || cost < *best)) best = cost;
        std::size_t k = 0;
        while (k < kinds.size() && n[k] == kinds[k].count) n[k++] = 0;
        if (k == kinds.size()) return best;
        ++n[k];
    }
}

// Random stocks of up to four kinds: the bound is the cheapest covering that trying every
// choice finds, and nothing when the stock cannot cover the area.
TEST(CostBoundTest, IsTheCheapestCoveringOfTheArea) {
    std::mt19937 random(2812);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int round = 0; round < 300; ++round) {
        std::vector<SheetKind> kinds;
        const int count = 1 + round % 4;
        double whole = 0;
        for (int k = 0; k < count; ++k) {
            const double length = std::round(100 + 1100 * unit(random));
            const double width = std::round(100 + 500 * unit(random));
            const double perArea = 0.5 + unit(random);
            kinds.push_back(kind(length, width, 1 + static_cast<int>(4 * unit(random)),
                                 std::round(length * width * perArea)));
            whole += static_cast<double>(kinds.back().count) * length * width;
        }
        const double area = whole * (0.05 + 1.0 * unit(random));
        const std::optional<double> expected = cheapestByEveryChoice(kinds, area);
        const std::optional<double> bound = leastSheetsCost(kinds, area);
        ASSERT_EQ(bound.has_value(), expected.has_value()) << round;
        if (expected) {
            EXPECT_DOUBLE_EQ(*bound, *expected) << round;
        }
    }
}

// A search cut short gives the bound with the last sheet cut to size: the cheapest kind per
// area for the whole area, never more than the cheapest covering of whole sheets.
TEST(CostBoundTest, ASearchCutShortStaysABound) {
    const std::vector<SheetKind> kinds{kind(1000, 500, 40, 600000), kind(700, 500, 40, 380000),
                                       kind(300, 300, 40, 100000)};
    const double area = 3.3e6;
    const std::optional<double> searched = leastSheetsCost(kinds, area);
    const std::optional<double> cut = leastSheetsCost(kinds, area, 1);
    ASSERT_TRUE(searched && cut);
    EXPECT_LE(*cut, *searched);
    EXPECT_NEAR(*cut, area * 380000 / 350000.0, 1e-6 * area);
    EXPECT_GT(*searched, *cut);
}

}  // namespace
}  // namespace blocknest
