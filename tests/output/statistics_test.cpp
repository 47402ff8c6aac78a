#include "output/statistics.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "output/report_writer.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

Part square(double x, double y, double side) {
    return makePart("S", {{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}});
}

TEST(StatisticsTest, PartsTouchingTheSheetEdgesCount) {
    PartList parts;
    parts.pushBack(square(0, 40, 10));  // minX = 0, maxY = width
    parts.pushBack(square(90, 0, 10));  // maxX = length, minY = 0
    const PackingStatistics stats = computeStatistics(parts, 100, 50);
    EXPECT_EQ(stats.totalPartArea, 200.0);
    EXPECT_EQ(stats.packedLength, 100.0);
    EXPECT_EQ(stats.packingDensity, 200.0 / (100.0 * 50.0));
}

TEST(StatisticsTest, APartReachingPastTheSheetByAnyAmountDoesNotCount) {
    PartList parts;
    parts.pushBack(square(10, 10, 10));
    parts.pushBack(square(std::nextafter(90.0, 100.0), 10, 10));
    const PackingStatistics stats = computeStatistics(parts, 100, 50);
    EXPECT_EQ(stats.totalPartArea, 100.0);
    EXPECT_EQ(stats.packedLength, 20.0);
}

TEST(StatisticsTest, TheStoredOuterBoxDecidesAndCountedBoxesAreRecomputed) {
    PartList parts;
    parts.pushBack(square(10, 10, 10));
    Part& turned = parts.back();
    turned.rotate({15, 15}, std::acos(-1.0) / 4);  // box recomputed: about 7.9 .. 22.1
    turned.translate(0, 0);
    const double storedArea = turned.netArea();
    const PackingStatistics stats = computeStatistics(parts, 100, 50);
    EXPECT_EQ(stats.totalPartArea, storedArea) << "the area as stored";
    EXPECT_NEAR(stats.packedLength, 15 + 5 * std::sqrt(2.0), 1e-12);
    EXPECT_EQ(turned.bounds().maxX, turned.outerLoop().bounds().maxX);
}

TEST(StatisticsTest, NoCountedPartGivesLengthZeroAndNoDensity) {
    PartList parts;
    parts.pushBack(square(100, -10, 10));  // parked beyond the sheet
    const PackingStatistics stats = computeStatistics(parts, 100, 50);
    EXPECT_EQ(stats.packedLength, 0.0);
    EXPECT_EQ(stats.totalPartArea, 0.0);
    EXPECT_TRUE(std::isnan(stats.packingDensity));
    EXPECT_EQ(formatReport(stats, "(Packing time:0.10 ms)\n"),
              "Packed length:0\nPacking density:0%\nArea of all parts:0\n"
              "(Packing time:0.10 ms)\n\n");
}

TEST(ReportTest, ExampleReportHasFiveLines) {
    PackingStatistics stats;
    stats.packedLength = 400;
    stats.totalPartArea = 150000;
    stats.packingDensity = 150000 / (400 * 500.0);
    EXPECT_EQ(formatReport(stats, "(Packing time:3.14 s)\n"),
              "Packed length:400\n"
              "Packing density:75%\n"
              "Area of all parts:150000\n"
              "(Packing time:3.14 s)\n"
              "\n")
        << "the fifth line is empty";
}

TEST(ReportTest, NumbersHaveSixSignificantDigits) {
    PackingStatistics stats;
    stats.packedLength = 1234567.8;
    stats.totalPartArea = 81.25;
    stats.packingDensity = 0.68671123;
    EXPECT_EQ(formatReport(stats, ""),
              "Packed length:1.23457e+06\nPacking density:68.6711%\nArea of all parts:81.25\n\n");
}

}  // namespace
}  // namespace blocknest
