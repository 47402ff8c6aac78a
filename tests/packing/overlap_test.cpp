#include "packing/overlap.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "geometry/predicates.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

class OverlapTest : public testing::Test {
protected:
    OverlapTest() {
        sheet_.length = 100;
        sheet_.width = 50;
    }
    Part& add(Part part) {
        parts_.pushBack(std::move(part));
        return parts_.back();
    }
    bool feasible(const Part& moving) const { return isPlacementFeasible(parts_, moving, sheet_); }

    PartList parts_;
    Sheet sheet_;
};

TEST_F(OverlapTest, SheetEdgesFollowTheBoundaryRule) {
    const Part& left = add(makePart("L", {{0, 10}, {5, 10}, {5, 15}}));
    EXPECT_FALSE(feasible(left)) << "a vertex on the left edge is outside";
    const Part& top = add(makePart("T", {{20, 45}, {25, 50}, {20, 48}}));
    EXPECT_FALSE(feasible(top)) << "a vertex on the top edge is outside";
    parts_.clear();
    const Part& bottomRight = add(makePart("B", {{95, 0}, {100, 0}, {100, 5}}));
    EXPECT_TRUE(feasible(bottomRight)) << "the bottom and right edges are inside";
    const Part& corner = add(makePart("C", {{90, 40}, {100, 40}, {100, 50}}));
    EXPECT_FALSE(feasible(corner)) << "of the four corners only (length, 0) is inside";
}

TEST_F(OverlapTest, PartsWhoseBoxesTouchAreDisjoint) {
    const Part a = makePart("A", {{10, 10}, {20, 10}, {20, 20}, {10, 20}});
    const Part b = makePart("B", {{20, 12}, {30, 12}, {30, 18}, {20, 18}});
    EXPECT_TRUE(partsDisjoint(a, b)) << "shared edge at X = 20";
    EXPECT_TRUE(partsDisjoint(b, a));
    const Part c = makePart("C", {{19.999995, 12}, {30, 12}, {30, 18}, {19.999995, 18}});
    EXPECT_TRUE(partsDisjoint(a, c)) << "overlapping by less than the tolerance";
    const Part d = makePart("D", {{19.99998, 12}, {30, 12}, {30, 18}, {19.99998, 18}});
    EXPECT_FALSE(partsDisjoint(a, d)) << "overlapping by more than the tolerance";
    // The same along Y, on both sides.
    const Part above = makePart("E", {{12, 19.999995}, {18, 19.999995}, {18, 30}, {12, 30}});
    EXPECT_TRUE(partsDisjoint(a, above)) << "above, within the tolerance";
    EXPECT_TRUE(partsDisjoint(above, a));
    const Part below = makePart("F", {{12, 0}, {18, 0}, {18, 10.000005}, {12, 10.000005}});
    EXPECT_TRUE(partsDisjoint(a, below)) << "below, within the tolerance";
    EXPECT_TRUE(partsDisjoint(below, a));
    const Part deeper = makePart("G", {{12, 0}, {18, 0}, {18, 10.00002}, {12, 10.00002}});
    EXPECT_FALSE(partsDisjoint(a, deeper)) << "below, beyond the tolerance";
    EXPECT_FALSE(partsDisjoint(deeper, a));
}

TEST_F(OverlapTest, OutlinesTouchingInsideOverlappingBoxesAreNotDisjoint) {
    // The upper-right triangle's interior lies on the +X side of its slanted edge, so points
    // on that edge are outside it; only the edge test sees the touch.
    const Part upper = makePart("U", {{4, 0}, {4, 4}, {0, 4}});
    const Part slanted = makePart("S", {{0, 0}, {3, 1}, {1, 3}});
    EXPECT_FALSE(pointInLoop({3, 1}, upper.outerLoop()));
    EXPECT_TRUE(outerLoopsCross(upper, slanted)) << "collinear overlapping edges cross";
    EXPECT_FALSE(partsDisjoint(upper, slanted));
    const Part point = makePart("P", {{0, 0}, {2, 0.5}, {0.5, 2}});
    const Part apex = makePart("Q", {{2, 2}, {2, 0.5}, {3.9, 3.9}});
    EXPECT_TRUE(outerLoopsCross(point, apex)) << "a shared endpoint gives a product of 0";
}

TEST_F(OverlapTest, ProductsThatAreNotNumbersSkipThePair) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Part square = makePart("S", {{0, 0}, {4, 0}, {4, 4}, {0, 4}});
    Part broken;
    Loop loop;
    loop.setVertices({{nan, -1}, {nan, 2}, {nan, 5}});
    broken.setShape("N", LoopList{}, loop);
    EXPECT_FALSE(outerLoopsCross(square, broken));
}

TEST_F(OverlapTest, APartInsideAnotherOutlineIsNotDisjoint) {
    const Part big = makePart("B", {{0, 0}, {40, 0}, {40, 40}, {0, 40}});
    const Part small = makePart("S", {{10, 10}, {20, 10}, {20, 20}, {10, 20}});
    EXPECT_FALSE(outerLoopsCross(big, small));
    EXPECT_FALSE(partsDisjoint(big, small));
    EXPECT_FALSE(partsDisjoint(small, big));
}

TEST_F(OverlapTest, PartsInHolesAreAcceptable) {
    const std::vector<std::vector<Vertex>> hole{{{10, 10}, {30, 10}, {30, 40}, {10, 40}}};
    Part& frame = add(makePart("F", {{5, 5}, {35, 5}, {35, 45}, {5, 45}}, hole));
    Part& small = add(makePart("S", {{15, 15}, {25, 15}, {25, 25}, {15, 25}}));
    EXPECT_TRUE(feasible(small)) << "the moving part lies in a hole of a placed part";
    EXPECT_TRUE(feasible(frame)) << "a placed part lies in a hole of the moving part";
    small.translate(10, 0);
    EXPECT_FALSE(feasible(small)) << "sticking out of the hole";
}

TEST_F(OverlapTest, OtherPartsAreRecognisedByIdentity) {
    Part& first = add(makePart("A", {{10, 10}, {20, 10}, {20, 20}, {10, 20}}));
    add(makePart("A", {{10, 10}, {20, 10}, {20, 20}, {10, 20}}));
    EXPECT_FALSE(feasible(first)) << "an equal copy at the same place is another part";
    parts_.erase(std::prev(parts_.end()));
    EXPECT_TRUE(feasible(first));
}

TEST_F(OverlapTest, ParkedPartsNeverBlock) {
    Part& parked = add(makePart("P", {{0, 0}, {30, 0}, {30, 20}, {0, 20}}));
    parked.translate(100, -20);  // box from (100, -20) to (130, 0)
    const Part& placed = add(makePart("Q", {{70, 0}, {100, 0}, {100, 20}, {70, 20}}));
    EXPECT_TRUE(feasible(placed)) << "boxes touching at the sheet's far corner";
}

// A random convex-ish polygon around (x, y), with a hole now and then.
Part randomPart(std::mt19937& random, double x, double y, int id) {
    std::uniform_real_distribution<double> unit(0, 1);
    const int n = 3 + static_cast<int>(random() % 5);
    const double radius = 1 + 4 * unit(random);
    std::vector<Vertex> outer;
    for (int i = 0; i < n; ++i) {
        const double angle = 6.283185307179586 * (i + 0.8 * unit(random)) / n;
        outer.push_back({x + radius * std::cos(angle), y + radius * std::sin(angle)});
    }
    std::vector<std::vector<Vertex>> holes;
    if (random() % 4 == 0) {
        const double r = radius * 0.3;
        holes.push_back({{x - r, y - r}, {x + r, y - r}, {x + r, y + r}, {x - r, y + r}});
    }
    return makePart("P" + std::to_string(id), outer, holes);
}

TEST(PartIndexTest, GivesTheSameAnswerAsTestingEveryPart) {
    std::mt19937 random(77);
    std::uniform_real_distribution<double> along(-5, 125);
    std::uniform_real_distribution<double> across(-5, 45);
    int feasible = 0;
    int infeasible = 0;
    for (int scene = 0; scene < 40; ++scene) {
        Sheet sheet;
        sheet.length = 120;
        sheet.width = 40;
        sheet.blockSideLength = 0.5 + (random() % 4);
        PartList parts;
        for (int i = 0; i < 30; ++i)
            parts.pushBack(randomPart(random, along(random), across(random), i));
        PartIndex index(parts, sheet);
        // Half the parts count as placed, as the packing marks them after their last move.
        int i = 0;
        for (const Part& part : parts) {
            if (i++ % 2 == 0) index.markPlaced(part);
        }
        i = 0;
        for (Part& moving : parts) {
            if (i++ % 2 == 0) continue;  // only parts that are not placed move
            for (int move = 0; move < 8; ++move) {
                const double dx = along(random) - moving.bounds().minX;
                const double dy = across(random) - moving.bounds().minY;
                moving.translate(dx, dy);
                const bool expected = isPlacementFeasible(parts, moving, sheet);
                ASSERT_EQ(isPlacementFeasible(index, moving), expected)
                    << "scene " << scene << ", " << moving.name() << ", move " << move;
                (expected ? feasible : infeasible)++;
                moving.translate(-dx, -dy);
            }
        }
    }
    EXPECT_GT(feasible, 50) << "both answers must occur often";
    EXPECT_GT(infeasible, 50);
}

// Every edge against every edge, exactly as defined.
bool crossLiterally(const Part& a, const Part& b) {
    const std::vector<Vertex>& va = a.outerLoop().vertices();
    const std::vector<Vertex>& vb = b.outerLoop().vertices();
    for (std::size_t i = 0; i < va.size(); ++i) {
        const Vertex& p = va[i];
        const Vertex& q = va[(i + 1) % va.size()];
        for (std::size_t j = 0; j < vb.size(); ++j) {
            const Vertex& r = vb[j];
            const Vertex& s = vb[(j + 1) % vb.size()];
            if (std::min(r.x, s.x) > std::max(p.x, q.x) ||
                std::max(r.x, s.x) < std::min(p.x, q.x) ||
                std::min(r.y, s.y) > std::max(p.y, q.y) ||
                std::max(r.y, s.y) < std::min(p.y, q.y)) {
                continue;
            }
            const double c1 = (q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x);
            const double c2 = (q.x - p.x) * (s.y - p.y) - (q.y - p.y) * (s.x - p.x);
            if (c1 * c2 > 0 || std::isnan(c1 * c2)) continue;
            const double d1 = (s.x - r.x) * (p.y - r.y) - (s.y - r.y) * (p.x - r.x);
            const double d2 = (s.x - r.x) * (q.y - r.y) - (s.y - r.y) * (q.x - r.x);
            if (d1 * d2 > 0 || std::isnan(d1 * d2)) continue;
            return true;
        }
    }
    return false;
}

TEST(OuterLoopsCrossTest, LeavingOutFarEdgesChangesNoAnswer) {
    std::mt19937 random(12);
    int crossing = 0;
    int apart = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        auto coordinate = [&] { return static_cast<double>(random() % 17) * 0.5; };
        std::vector<Vertex> first;
        std::vector<Vertex> second;
        for (int i = 3 + static_cast<int>(random() % 8); i > 0; --i)
            first.push_back({coordinate(), coordinate()});
        for (int i = 3 + static_cast<int>(random() % 8); i > 0; --i) {
            second.push_back({coordinate() + 3, coordinate() + 2});
        }
        const Part a = makePart("A", first);
        const Part b = makePart("B", second);
        const bool expected = crossLiterally(a, b);
        ASSERT_EQ(outerLoopsCross(a, b), expected) << "trial " << trial;
        (expected ? crossing : apart)++;
    }
    EXPECT_GT(crossing, 300);
    EXPECT_GT(apart, 300);
}

}  // namespace
}  // namespace blocknest
