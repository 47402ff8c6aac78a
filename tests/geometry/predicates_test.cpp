#include "geometry/predicates.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <string>

#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

struct PointCase {
    std::string name;
    Vertex point;
    bool inside;
};

void PrintTo(const PointCase& c, std::ostream* os) {
    *os << c.name << " (" << c.point.x << ", " << c.point.y << ")";
}

std::string caseName(const testing::TestParamInfo<PointCase>& info) { return info.param.name; }

class UnitSquareCases : public testing::TestWithParam<PointCase> {};

TEST_P(UnitSquareCases, BothOrientationsAgree) {
    const Loop ccw = makeLoop({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
    const Loop cw = makeLoop({{0, 0}, {0, 1}, {1, 1}, {1, 0}});
    EXPECT_EQ(pointInLoop(GetParam().point, ccw), GetParam().inside) << "counter-clockwise";
    EXPECT_EQ(pointInLoop(GetParam().point, cw), GetParam().inside) << "clockwise";
}

INSTANTIATE_TEST_SUITE_P(
    Square, UnitSquareCases,
    testing::Values(PointCase{"Centre", {0.5, 0.5}, true}, PointCase{"LeftEdge", {0, 0.5}, false},
                    PointCase{"RightEdge", {1, 0.5}, true}, PointCase{"BottomEdge", {0.5, 0}, true},
                    PointCase{"TopEdge", {0.5, 1}, false}, PointCase{"LowerLeft", {0, 0}, false},
                    PointCase{"LowerRight", {1, 0}, true}, PointCase{"UpperRight", {1, 1}, false},
                    PointCase{"UpperLeft", {0, 1}, false}, PointCase{"Outside", {2, 0.5}, false},
                    PointCase{"LeftOfIt", {-1, 0.5}, false}),
    caseName);

class TriangleCases : public testing::TestWithParam<PointCase> {};

TEST_P(TriangleCases, FollowTheBoundaryRule) {
    const Loop triangle = makeLoop({{0, 0}, {2, 0}, {1, 2}});
    EXPECT_EQ(pointInLoop(GetParam().point, triangle), GetParam().inside);
}

INSTANTIATE_TEST_SUITE_P(
    Triangle, TriangleCases,
    testing::Values(PointCase{"Apex", {1, 2}, false}, PointCase{"LeftEdge", {0.5, 1}, false},
                    PointCase{"RightEdge", {1.5, 1}, true}, PointCase{"BaseMiddle", {1, 0}, true},
                    PointCase{"BaseRight", {2, 0}, true}, PointCase{"BaseLeft", {0, 0}, false},
                    PointCase{"Inside", {1, 1}, true}),
    caseName);

TEST(PointInLoopTest, HypotenuseCountsAsInside) {
    const Loop triangle = makeLoop({{0, 0}, {10, 0}, {0, 10}});
    EXPECT_TRUE(pointInLoop({5, 5}, triangle));
}

TEST(PointInLoopTest, UsesTheStoredBoxFirst) {
    Loop loop = makeLoop({{0, 0}, {4, 0}, {4, 4}, {0, 4}});
    loop.translate(10, 0);
    loop.rotate({0, 0}, 0);  // refreshes the box at the moved position
    EXPECT_FALSE(pointInLoop({2, 2}, loop));
    EXPECT_TRUE(pointInLoop({12, 2}, loop));
    EXPECT_FALSE(pointInLoop({0, 0}, Loop{})) << "a loop without vertices contains nothing";
}

TEST(PointInLoopTest, VertexOnTheRayLineCountsOnceOrNotAtAll) {
    // A diamond: the ray from the centre passes through the right vertex (1 crossing), and
    // the ray from below the lowest vertex passes outside.
    const Loop diamond = makeLoop({{0, -2}, {2, 0}, {0, 2}, {-2, 0}});
    EXPECT_TRUE(pointInLoop({0, 0}, diamond));
    EXPECT_TRUE(pointInLoop({-1, 0}, diamond));
    // A zigzag with a local low point on the ray's line: parity unchanged.
    const Loop notch = makeLoop({{0, 0}, {4, 0}, {4, 4}, {3, 4}, {2, 2}, {1, 4}, {0, 4}});
    EXPECT_TRUE(pointInLoop({0.5, 2}, notch));
    EXPECT_FALSE(pointInLoop({2, 3}, notch)) << "above the notch's low point is outside";
    EXPECT_TRUE(pointInLoop({1.5, 2}, notch));
}

class HoleCases : public testing::TestWithParam<PointCase> {};

TEST_P(HoleCases, MaterialDecides) {
    Part part;
    LoopList holes;
    holes.pushFront(makeLoop({{2, 2}, {8, 2}, {8, 8}, {2, 8}}));
    part.setShape("Frame", holes, makeLoop({{0, 0}, {10, 0}, {10, 10}, {0, 10}}));
    EXPECT_EQ(pointInPart(GetParam().point, part), GetParam().inside);
}

INSTANTIATE_TEST_SUITE_P(
    SquareWithHole, HoleCases,
    testing::Values(PointCase{"InHole", {5, 5}, false}, PointCase{"InMaterial", {1, 5}, true},
                    PointCase{"HoleLeftEdge", {2, 5}, true},
                    PointCase{"HoleRightEdge", {8, 5}, false},
                    PointCase{"HoleBottomEdge", {5, 2}, false},
                    PointCase{"HoleTopEdge", {5, 8}, true}, PointCase{"HoleCorner22", {2, 2}, true},
                    PointCase{"HoleCorner82", {8, 2}, false},
                    PointCase{"HoleCorner88", {8, 8}, true},
                    PointCase{"HoleCorner28", {2, 8}, true}, PointCase{"Outside", {11, 5}, false}),
    caseName);

TEST(PartScanLineTest, AnswersAsPointInPartOnBoundariesAndVertices) {
    std::mt19937 random(5);
    // Coordinates on a coarse grid, so that points fall on vertices, edges and the lines
    // through them as often as inside or outside.
    auto coordinate = [&] { return static_cast<double>(random() % 13) * 0.5; };
    int inside = 0;
    int outside = 0;
    for (int trial = 0; trial < 400; ++trial) {
        std::vector<Vertex> outer;
        const int n = 3 + static_cast<int>(random() % 7);
        for (int i = 0; i < n; ++i) outer.push_back({coordinate(), coordinate()});
        std::vector<std::vector<Vertex>> holes;
        for (int h = static_cast<int>(random() % 3); h > 0; --h) {
            std::vector<Vertex> hole;
            for (int i = 0; i < 3 + static_cast<int>(random() % 3); ++i) {
                hole.push_back({coordinate(), coordinate()});
            }
            holes.push_back(hole);
        }
        const Part part = makePart("R", outer, holes);
        for (int line = -1; line <= 13; ++line) {
            const double y = line * 0.5 + (random() % 5 == 0 ? 0.25 : 0.0);
            const PartScanLine scan(part, y);
            for (int k = -1; k <= 13; ++k) {
                const double x = k * 0.5 + (random() % 5 == 0 ? 0.1 : 0.0);
                const bool expected = pointInPart({x, y}, part);
                ASSERT_EQ(scan.contains(x), expected)
                    << "trial " << trial << " at " << x << ", " << y;
                (expected ? inside : outside)++;
            }
        }
    }
    EXPECT_GT(inside, 1000);
    EXPECT_GT(outside, 1000);
}

TEST(PartScanLineTest, TheSweepAnswersAsEachPointAlone) {
    std::mt19937 random(6);
    auto coordinate = [&] { return static_cast<double>(random() % 13) * 0.5; };
    for (int trial = 0; trial < 300; ++trial) {
        std::vector<Vertex> outer;
        for (int i = 3 + static_cast<int>(random() % 7); i > 0; --i)
            outer.push_back({coordinate(), coordinate()});
        const Part part = makePart("R", outer,
                                   {{{coordinate(), coordinate()},
                                     {coordinate(), coordinate()},
                                     {coordinate(), coordinate()}}});
        std::vector<double> xs;
        for (int k = 0; k < 40; ++k) xs.push_back(coordinate() - 0.5 + (random() % 3) * 0.25);
        std::sort(xs.begin(), xs.end());
        PartScanLine line(part);
        for (double y : {0.0, 1.5, 2.25, 3.0, 6.0}) {
            line.moveTo(y);
            std::vector<std::uint8_t> swept(xs.size());
            line.containsEach(xs, swept);
            for (std::size_t k = 0; k < xs.size(); ++k) {
                ASSERT_EQ(swept[k] != 0, line.contains(xs[k]))
                    << trial << " at " << xs[k] << ", " << y;
                ASSERT_EQ(line.contains(xs[k]), pointInPart({xs[k], y}, part));
            }
        }
    }
}

// A line visits only the holes whose box it crosses; lines met in any order, overlapping and
// nested holes, and a hole whose box is not a number must answer as before.
TEST(PartScanLineTest, ManyHolesAnswerAsPointInPartWhateverTheLineOrder) {
    std::mt19937 random(12);
    auto coordinate = [&] { return static_cast<double>(random() % 41) * 0.5; };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int trial = 0; trial < 40; ++trial) {
        std::vector<std::vector<Vertex>> holes;
        for (int h = 0; h < 60; ++h) {
            const double x = coordinate();
            const double y = coordinate();
            const double size = 0.5 + static_cast<double>(random() % 6);
            holes.push_back({{x, y}, {x + size, y}, {x, y + size}});
        }
        if (trial % 4 == 0) holes.push_back({{3, 3}, {nan, 5}, {4, 6}});
        const Part part = makePart("H", {{-1, -1}, {22, -1}, {22, 22}, {-1, 22}}, holes);
        std::vector<double> xs;
        for (int k = -4; k <= 46; ++k) xs.push_back(k * 0.5);
        PartScanLine line(part);
        int inHole = 0;
        for (int visit = 0; visit < 60; ++visit) {
            const double y = coordinate() - 1 + (random() % 3) * 0.25;
            line.moveTo(y);
            std::vector<std::uint8_t> swept(xs.size());
            line.containsEach(xs, swept);
            for (std::size_t k = 0; k < xs.size(); ++k) {
                const bool expected = pointInPart({xs[k], y}, part);
                ASSERT_EQ(swept[k] != 0, expected) << trial << " at " << xs[k] << ", " << y;
                ASSERT_EQ(line.contains(xs[k]), expected) << trial << " at " << xs[k] << ", " << y;
                inHole += pointInLoop({xs[k], y}, part.outerLoop()) && !expected;
            }
        }
        EXPECT_GT(inHole, 100) << "the holes are met often";
    }
}

TEST(LoopPointTestTest, AnswersAsPointInLoopForManyVertices) {
    std::mt19937 random(13);
    auto coordinate = [&] { return static_cast<double>(random() % 21) * 0.5; };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    int inside = 0;
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<Vertex> outer;
        for (int i = 3 + static_cast<int>(random() % 40); i > 0; --i) {
            outer.push_back({coordinate(), coordinate()});
        }
        if (trial % 10 == 0) outer[1].y = nan;
        const Loop loop = makeLoop(outer);
        const LoopPointTest test(loop);
        for (int k = 0; k < 200; ++k) {
            const Vertex p{coordinate() - 0.25 * (random() % 2), coordinate()};
            const bool expected = pointInLoop(p, loop);
            ASSERT_EQ(test.contains(p), expected) << trial << " at " << p.x << ", " << p.y;
            inside += expected;
        }
        EXPECT_FALSE(test.contains({1, nan}));
    }
    EXPECT_GT(inside, 3000);
}

// Every pair of edges that do not follow each other, crossing at a point inside both.
bool crossesItselfLiterally(const std::vector<Vertex>& v) {
    const std::size_t n = v.size();
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 2; j < n; ++j) {
            if (i == 0 && j + 1 == n) continue;
            const Vertex &p = v[i], &q = v[(i + 1) % n], &r = v[j], &s = v[(j + 1) % n];
            const double c1 = (q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x);
            const double c2 = (q.x - p.x) * (s.y - p.y) - (q.y - p.y) * (s.x - p.x);
            const double d1 = (s.x - r.x) * (p.y - r.y) - (s.y - r.y) * (p.x - r.x);
            const double d2 = (s.x - r.x) * (q.y - r.y) - (s.y - r.y) * (q.x - r.x);
            if (c1 * c2 < 0 && d1 * d2 < 0) return true;
        }
    }
    return false;
}

TEST(LoopCrossesItselfTest, FindsWhatTestingEveryPairFinds) {
    EXPECT_TRUE(loopCrossesItself(makeLoop({{0, 0}, {20, 20}, {20, 0}, {0, 20}}))) << "bowtie";
    EXPECT_FALSE(loopCrossesItself(makeLoop({{0, 0}, {20, 0}, {20, 20}, {0, 20}})));
    EXPECT_FALSE(loopCrossesItself(makeLoop({{0, 0}, {20, 0}, {10, 0}, {10, 5}})))
        << "edges along each other only touch";
    std::mt19937 random(14);
    auto coordinate = [&] { return static_cast<double>(random() % 9); };
    int crossing = 0;
    for (int trial = 0; trial < 2000; ++trial) {
        std::vector<Vertex> v;
        for (int i = 4 + static_cast<int>(random() % 5); i > 0; --i) {
            v.push_back({coordinate(), coordinate()});
        }
        const bool expected = crossesItselfLiterally(v);
        ASSERT_EQ(loopCrossesItself(makeLoop(v)), expected) << "trial " << trial;
        crossing += expected;
    }
    EXPECT_GT(crossing, 200);
    EXPECT_LT(crossing, 1800);
}

TEST(PartScanLineTest, NumbersThatAreNotNumbersAreOutside) {
    const Part square = makePart("S", {{0, 0}, {4, 0}, {4, 4}, {0, 4}});
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(PartScanLine(square, 2).contains(nan));
    EXPECT_FALSE(PartScanLine(square, nan).contains(2));
    EXPECT_EQ(PartScanLine(square, 2).contains(nan), pointInPart({nan, 2}, square));
}

}  // namespace
}  // namespace blocknest
