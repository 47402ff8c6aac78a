#include "geometry/loop.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "base/fatal_error.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

Loop unitSquare() { return makeLoop({{0, 0}, {1, 0}, {1, 1}, {0, 1}}); }

TEST(LoopTest, UnitSquareHasAreaBoxAndCentroid) {
    const Loop loop = unitSquare();
    EXPECT_EQ(loop.area(), 1.0);
    EXPECT_EQ(loop.bounds().minX, 0.0);
    EXPECT_EQ(loop.bounds().maxX, 1.0);
    EXPECT_EQ(loop.bounds().minY, 0.0);
    EXPECT_EQ(loop.bounds().maxY, 1.0);
    const Vertex c = loop.computeCentroid();
    EXPECT_EQ(c.x, 0.5);
    EXPECT_EQ(c.y, 0.5);
    EXPECT_EQ(c.z, 1e-15) << "a computed centroid is a default vertex";
}

TEST(LoopTest, AreaAndCentroidDoNotDependOnOrientation) {
    const Loop clockwise = makeLoop({{0, 0}, {0, 1}, {1, 1}, {1, 0}});
    EXPECT_EQ(clockwise.area(), 1.0) << "the stored area is absolute";
    const Vertex c = clockwise.computeCentroid();
    EXPECT_EQ(c.x, 0.5);
    EXPECT_EQ(c.y, 0.5);
}

TEST(LoopTest, DegenerateLoopsHaveZeroArea) {
    const Loop point = makeLoop({{3, 4}});
    EXPECT_EQ(point.area(), 0.0);
    EXPECT_EQ(point.bounds().minX, 3.0);
    EXPECT_EQ(point.bounds().maxX, 3.0);
    EXPECT_EQ(point.bounds().minY, 4.0);
    EXPECT_EQ(point.bounds().maxY, 4.0);
    Loop empty;
    EXPECT_EQ(empty.computeArea(), 0.0);
    EXPECT_FALSE(std::isfinite(makeLoop({{0, 0}, {1, 1}}).computeCentroid().x))
        << "a loop of zero signed area has no centroid";
}

TEST(LoopTest, AreaFollowsTheWrittenSumToTheLastBit) {
    // A literal left-to-right evaluation of (xj - xi) * (yi + yj) * 0.5 per edge.
    const std::vector<Vertex> v{{0.1, 0.2}, {3.3, 0.7}, {2.9, 4.1}, {0.3, 3.7}};
    double s = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        const Vertex& a = v[i];
        const Vertex& b = v[(i + 1) % v.size()];
        s += (b.x - a.x) * (a.y + b.y) * 0.5;
    }
    EXPECT_EQ(makeLoop(v).area(), std::fabs(s));
}

TEST(LoopTest, TranslationShiftsTheStoredBoxAndKeepsTheArea) {
    Loop loop = unitSquare();
    loop.translate(2.5, -1);
    EXPECT_EQ(loop.area(), 1.0);
    EXPECT_EQ(loop.bounds().minX, 2.5);
    EXPECT_EQ(loop.bounds().maxX, 3.5);
    EXPECT_EQ(loop.bounds().minY, -1.0);
    EXPECT_EQ(loop.bounds().maxY, 0.0);
    EXPECT_EQ(loop.vertices()[2].x, 3.5);
    EXPECT_EQ(loop.vertices()[2].y, 0.0);
}

TEST(LoopTest, TranslationShiftsEvenAStaleBox) {
    Loop loop = unitSquare();
    loop.rotate({0, 0}, std::numbers::pi / 2);  // box recomputed: x from about -1 to 0
    const BoundingBox before = loop.bounds();
    loop.translate(10, 20);
    EXPECT_EQ(loop.bounds().minX, before.minX + 10);
    EXPECT_EQ(loop.bounds().maxY, before.maxY + 20);
}

TEST(LoopTest, RotationTurnsCounterClockwiseAndRecomputesTheBox) {
    Loop loop = makeLoop({{0, 0, 7}, {1, 0, 7}, {1, 1, 7}, {0, 1, 7}});
    const double areaBefore = loop.area();
    loop.rotate({0, 0, 99}, std::numbers::pi / 2);
    const std::vector<Vertex>& v = loop.vertices();
    EXPECT_NEAR(v[1].x, 0, 1e-15);
    EXPECT_EQ(v[1].y, 1.0);
    EXPECT_NEAR(v[2].x, -1, 1e-15);
    EXPECT_NEAR(v[2].y, 1, 1e-15);
    EXPECT_EQ(v[3].x, -1.0);
    EXPECT_NEAR(v[3].y, 0, 1e-15);
    EXPECT_NE(v[1].x, 0.0) << "cos(pi/2) is not exactly 0";
    for (const Vertex& p : v) EXPECT_EQ(p.z, 7.0) << "rotation never touches z";
    EXPECT_EQ(loop.bounds().minX, -1.0);
    EXPECT_EQ(loop.bounds().maxX, v[1].x) << "the box is recomputed from the turned vertices";
    EXPECT_EQ(loop.area(), areaBefore) << "motion never touches the area";
}

TEST(LoopTest, RotationAboutACentreKeepsTheCentreFixed) {
    Loop loop = makeLoop({{2, 2}, {4, 2}, {4, 4}, {2, 4}});
    loop.rotate({3, 3}, std::numbers::pi);
    EXPECT_NEAR(loop.vertices()[0].x, 4, 1e-12);
    EXPECT_NEAR(loop.vertices()[0].y, 4, 1e-12);
}

TEST(LoopTest, CopiesAreDeepAndAssignmentOfAnEmptyLoopIsFatal) {
    const Loop source = unitSquare();
    Loop copy = source;
    copy.translate(5, 5);
    EXPECT_EQ(source.vertices()[0].x, 0.0) << "a copy shares no vertices";

    Loop target = unitSquare();
    target = makeLoop({{0, 0}, {2, 0}, {2, 2}});
    EXPECT_EQ(target.vertexCount(), 3);
    EXPECT_EQ(target.area(), 2.0);

    const Loop empty;
    try {
        target = empty;
        FAIL() << "assigning a loop without vertices must end the run";
    } catch (const FatalError& e) {
        EXPECT_EQ(e.exitCode(), 1);
        EXPECT_STREQ(e.what(), "") << "the run ends silently";
    }
}

}  // namespace
}  // namespace blocknest
