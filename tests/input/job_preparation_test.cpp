#include "input/job_preparation.hpp"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

// A part of the given net area: a square of that area, named as given.
Part partOfArea(const std::string& name, double area) {
    const double side = std::sqrt(area);
    return makePart(name, {{0, 0}, {side, 0}, {side, side}, {0, side}});
}

PartList listOf(const std::vector<std::pair<std::string, double>>& parts) {
    PartList list;
    for (const auto& [name, area] : parts) list.pushBack(partOfArea(name, area));
    return list;
}

std::string order(const PartList& parts) {
    std::string names;
    for (const Part& p : parts) names += p.name();
    return names;
}

// The selection exactly as the packing order is defined: p starts at the last part; the first
// part before p with the smallest area below p's moves directly behind p; when there is none,
// p steps back; it ends when p is the first part.
void orderLiterally(PartList& parts) {
    if (parts.count() <= 1) return;
    auto p = std::prev(parts.end());
    for (;;) {
        double a = p->netArea();
        auto m = p;
        for (auto q = parts.begin(); q != p; ++q) {
            if (q->netArea() < a) {
                m = q;
                a = q->netArea();
            }
        }
        if (m == p) {
            --p;
        } else {
            parts.moveBefore(m, std::next(p));
        }
        if (p == parts.begin()) return;
    }
}

TEST(OrderPartsByAreaTest, FollowsTheWrittenExamples) {
    PartList numbers = listOf({{"1", 1}, {"2", 4}, {"3", 9}, {"4", 16}});
    orderPartsByArea(numbers);
    EXPECT_EQ(order(numbers), "4321");
    PartList abc = listOf({{"A", 25}, {"B", 25}, {"C", 81}});
    orderPartsByArea(abc);
    EXPECT_EQ(order(abc), "CBA");
    PartList cab = listOf({{"C", 81}, {"A", 25}, {"B", 25}});
    orderPartsByArea(cab);
    EXPECT_EQ(order(cab), "CAB");
    PartList single = listOf({{"S", 4}});
    orderPartsByArea(single);
    EXPECT_EQ(order(single), "S");
}

TEST(OrderPartsByAreaTest, MatchesTheSelectionOnRandomListsWithTies) {
    std::mt19937 random(12345);
    for (int trial = 0; trial < 300; ++trial) {
        const int n = 1 + static_cast<int>(random() % 14);
        std::vector<std::pair<std::string, double>> parts;
        for (int i = 0; i < n; ++i) {
            parts.emplace_back(std::string(1, static_cast<char>('a' + i)),
                               static_cast<double>(1 + random() % 4));
        }
        PartList fast = listOf(parts);
        PartList literal = listOf(parts);
        orderPartsByArea(fast);
        orderLiterally(literal);
        ASSERT_EQ(order(fast), order(literal)) << "trial " << trial;
    }
}

TEST(ComputeBlockSideLengthTest, ComesFromTheSmallestPartsBox) {
    PartList one;
    one.pushBack(makePart("P", {{0, 0}, {100, 0}, {100, 50}, {0, 50}}));
    EXPECT_EQ(computeBlockSideLength(one), 7.5);

    PartList two;
    two.pushBack(makePart("P", {{0, 0}, {100, 0}, {100, 50}, {0, 50}}));
    two.pushBack(makePart("Q", {{0, 0}, {20, 0}, {20, 20}, {0, 20}}));
    EXPECT_EQ(computeBlockSideLength(two), 2.0);
}

TEST(ComputeBlockSideLengthTest, TheFirstOfEqualSmallestPartsWins) {
    PartList parts;
    parts.pushBack(makePart("Big", {{0, 0}, {90, 0}, {90, 90}, {0, 90}}));
    parts.pushBack(makePart("Wide", {{0, 0}, {40, 0}, {40, 10}, {0, 10}}));
    parts.pushBack(makePart("Square", {{0, 0}, {20, 0}, {20, 20}, {0, 20}}));
    EXPECT_EQ(computeBlockSideLength(parts), 2.5) << "(40 + 10) / 2 / 10 from the wide part";
}

TEST(ParkPartsTest, MovesEveryPartBeyondTheSheetsFarEndAndBelowItsAxis) {
    PartList parts;
    parts.pushBack(makePart("P", {{10, 20}, {60, 20}, {60, 70}, {10, 70}}));
    const Vertex centroid = parts.front().centroid();
    parkParts(parts, 6000);
    const Part& p = parts.front();
    EXPECT_EQ(p.bounds().minX, 6000.0);
    EXPECT_EQ(p.bounds().maxX, 6050.0);
    EXPECT_EQ(p.bounds().minY, -50.0);
    EXPECT_EQ(p.bounds().maxY, 0.0);
    EXPECT_EQ(p.centroid().x, centroid.x + 5990);
    EXPECT_EQ(p.centroid().y, centroid.y - 70);
    EXPECT_EQ(p.outerLoop().vertices()[0].x, 6000.0);
    EXPECT_EQ(p.outerLoop().vertices()[0].y, -50.0);
}

PartFileContents contentsOf(double length, double width, std::vector<Part> parts) {
    PartFileContents contents;
    contents.sheetLength = length;
    contents.sheetWidth = width;
    for (Part& p : parts) contents.parts.pushBack(std::move(p));
    return contents;
}

TEST(PrepareJobTest, PreparesEveryPartAndTheSheet) {
    auto prepared = prepareJob(contentsOf(6000, 4000,
                                          {makePart("Q", {{0, 0}, {20, 0}, {20, 20}, {0, 20}}),
                                           makePart("P", {{0, 0}, {100, 0}, {100, 50}, {0, 50}}),
                                           makePart("Q", {{0, 0}, {20, 0}, {20, 20}, {0, 20}})}),
                               "x.txt");
    ASSERT_TRUE(std::holds_alternative<PreparedJob>(prepared));
    const PreparedJob& job = std::get<PreparedJob>(prepared);
    EXPECT_EQ(job.partCount, 3);
    EXPECT_EQ(order(job.parts), "PQQ");
    EXPECT_EQ(job.sheet.blockSideLength, 2.0);
    EXPECT_EQ(job.sheet.bitmap.rows(), 3002);
    EXPECT_EQ(job.sheet.bitmap.cols(), 2002);
    for (const Part& p : job.parts) {
        EXPECT_EQ(p.blockSideLength(), 2.0);
        EXPECT_EQ(p.bounds().minX, 6000.0);
        EXPECT_EQ(p.bounds().maxY, 0.0);
    }
}

struct BadJob {
    std::string name;
    double length;
    double width;
    std::vector<Vertex> outer;
    std::string detail;
};

void PrintTo(const BadJob& c, std::ostream* os) { *os << c.name; }

class BadJobs : public testing::TestWithParam<BadJob> {};

TEST_P(BadJobs, AreRefusedWithOneLine) {
    auto prepared = prepareJob(
        contentsOf(GetParam().length, GetParam().width, {makePart("P", GetParam().outer)}),
        "x.txt");
    ASSERT_TRUE(std::holds_alternative<InputError>(prepared));
    EXPECT_FALSE(std::get<InputError>(prepared).showReadWarning);
    EXPECT_EQ(std::get<InputError>(prepared).detail, GetParam().detail);
}

const std::vector<Vertex> kTen{{0, 0}, {10, 0}, {10, 10}, {0, 10}};

INSTANTIATE_TEST_SUITE_P(
    Prepare, BadJobs,
    testing::Values(
        BadJob{"ZeroLength", 0, 50, kTen,
               "x.txt:1: the sheet length must be a positive number, not 0"},
        BadJob{"NegativeWidth", 50, -5, kTen,
               "x.txt:2: the sheet width must be a positive number, not -5"},
        BadJob{"InfiniteLength", std::numeric_limits<double>::infinity(), 50, kTen,
               "x.txt:1: the sheet length must be a positive number, not inf"},
        BadJob{"PointPart",
               50,
               50,
               {{3, 3}, {3, 3}, {3, 3}},
               "x.txt: the smallest part has no extent, so no block side length can be derived "
               "from it (0)"},
        BadJob{"HugeGrid", 1e12, 1e12, kTen,
               "x.txt: the sheet 1e+12 x 1e+12 in blocks of 1 makes a grid of more than "
               "2147483648 blocks"},
        BadJob{"NarrowSheetWithTooManyRows", 1e9, 0.5, kTen,
               "x.txt: the sheet 1e+09 x 0.5 in blocks of 1 makes a grid of 1000000002 rows of "
               "2 blocks, more than the 512 MiB a sheet grid may take"}),
    [](const testing::TestParamInfo<BadJob>& info) { return info.param.name; });

TEST(PrepareJobTest, AFileWithoutPartsShowsTheReadWarning) {
    auto prepared = prepareJob(contentsOf(100, 100, {}), "x.txt");
    ASSERT_TRUE(std::holds_alternative<InputError>(prepared));
    EXPECT_TRUE(std::get<InputError>(prepared).showReadWarning);
}

}  // namespace
}  // namespace blocknest
