#include "search/exact_shape.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <vector>

#include "geometry/predicates.hpp"
#include "packing/overlap.hpp"
#include "search/box_buckets.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using testing_support::makePart;
using testing_support::star;

// A star or a long thin sliver, turned by a random angle.
Part randomPart(std::mt19937& random) {
    std::uniform_real_distribution<double> unit(0, 1);
    Part part = random() % 4 == 0
                    ? makePart("sliver", {{0, 0}, {8 + 8 * unit(random), 0.3}, {0, 0.6}})
                    : makePart("star", star(random, 0, 0, 1 + 5 * unit(random),
                                            3 + static_cast<int>(random() % 8)));
    part.rotate({0, 0}, 6.3 * unit(random));
    return part;
}

// Random pairs of stars and slivers, most near each other: shapesCollide must say what the
// program's exact test says of the two outer loops (except where that test lets boxes that
// overlap by less than its tolerance pass, where a collision is the safe answer), the depth is
// positive exactly when they collide, and every inscribed circle lies inside its part and
// clear of the others.
TEST(ExactShapeTest, CollisionsAgreeWithTheExactTestAndTheCirclesLieInside) {
    std::mt19937 random(29);
    std::uniform_real_distribution<double> unit(0, 1);
    int colliding = 0;
    int apart = 0;
    for (int round = 0; round < 3000; ++round) {
        Part a = randomPart(random);
        Part b = randomPart(random);
        const ExactShape sa = makeExactShape(a);
        const ExactShape sb = makeExactShape(b);
        const BoundingBox boxA = boundsOf(a.outerLoop().vertices());
        const BoundingBox boxB = boundsOf(b.outerLoop().vertices());
        ASSERT_NEAR(sa.width, boxA.maxX - boxA.minX, 1e-12);
        ASSERT_FALSE(sa.poles.empty());
        if (round < 200) {
            Part moved = a;
            moved.translate(-boxA.minX, -boxA.minY);
            for (std::size_t k = 0; k < sa.poles.size(); ++k) {
                const Pole& p = sa.poles[k];
                ASSERT_TRUE(pointInLoop({p.x, p.y}, moved.outerLoop())) << "round " << round;
                const auto& v = moved.outerLoop().vertices();
                for (std::size_t i = 0; i < v.size(); ++i) {
                    ASSERT_GE(distanceToSegment({p.x, p.y}, v[i], v[(i + 1) % v.size()]),
                              p.r - 1e-9);
                }
                for (std::size_t j = 0; j < k; ++j) {
                    const Pole& q = sa.poles[j];
                    ASSERT_GE(std::hypot(p.x - q.x, p.y - q.y), p.r + q.r - 1e-9);
                }
            }
        }
        // b's box placed anywhere from just apart to deep inside a's, now and then flush.
        const double ax = 100 * unit(random);
        const double ay = 100 * unit(random);
        double bx = ax - sb.width + (sa.width + sb.width) * unit(random);
        double by = ay - sb.height + (sa.height + sb.height) * unit(random);
        if (round % 10 == 0) bx = ax + sa.width;
        a.translate(ax - boxA.minX, ay - boxA.minY);
        b.translate(bx - boxB.minX, by - boxB.minY);
        const bool collide = shapesCollide(sa, ax, ay, sb, bx, by);
        ASSERT_EQ(collide, shapesCollide(sb, bx, by, sa, ax, ay));
        const double depth = overlapDepth(sa, ax, ay, sb, bx, by);
        ASSERT_EQ(collide, depth > 0) << "round " << round;
        ASSERT_EQ(depth, overlapDepth(sb, bx, by, sa, ax, ay));
        if (collide) {
            // The depth as its definition reads, one pair of circles after another.
            const double fade = 0.05 * (sa.poles.front().r + sb.poles.front().r);
            double expected = 0.01 * sa.poles.front().r * sb.poles.front().r;
            for (const Pole& p : sa.poles) {
                for (const Pole& q : sb.poles) {
                    const double reach =
                        p.r + q.r - std::hypot(ax + p.x - bx - q.x, ay + p.y - by - q.y);
                    const double counted = reach >= fade ? reach : fade * fade / (2 * fade - reach);
                    expected += counted * std::min(p.r, q.r);
                }
            }
            ASSERT_NEAR(depth, expected, 1e-9 * expected) << "round " << round;
        }
        const bool disjoint = partsDisjoint(a, b);
        const BoundingBox& ba = a.outerLoop().bounds();
        const BoundingBox& bb = b.outerLoop().bounds();
        const double overlapX = std::min(ba.maxX, bb.maxX) - std::max(ba.minX, bb.minX);
        const double overlapY = std::min(ba.maxY, bb.maxY) - std::max(ba.minY, bb.minY);
        if (!disjoint) {
            ASSERT_TRUE(collide) << "round " << round << ": the exact test finds an overlap";
        } else if (overlapX > 1e-4 && overlapY > 1e-4) {
            ASSERT_FALSE(collide) << "round " << round << ": the exact test finds none";
        }
        colliding += collide;
        apart += !collide;
    }
    EXPECT_GT(colliding, 500);
    EXPECT_GT(apart, 500);
}

// Random boxes inserted, moved and erased: a query visits each listed item once, and every item
// whose box meets the query's.
TEST(BoxBucketsTest, AQueryVisitsEveryBoxThatMeetsItOnce) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(0, 1);
    constexpr int kItems = 60;
    struct Box {
        double x0, y0, x1, y1;
    };
    auto randomBox = [&] {
        const double x = -10 + 120 * unit(random);
        const double y = -5 + 60 * unit(random);
        return Box{x, y, x + 20 * unit(random), y + 10 * unit(random)};
    };
    BoxBuckets buckets(kItems, 100, 50, 7);
    std::vector<Box> boxes;
    std::vector<bool> listed(kItems, true);
    for (int i = 0; i < kItems; ++i) {
        boxes.push_back(randomBox());
        buckets.insert(i, boxes[i].x0, boxes[i].y0, boxes[i].x1, boxes[i].y1);
    }
    for (int round = 0; round < 2000; ++round) {
        const int i = static_cast<int>(random() % kItems);
        Box& box = boxes[static_cast<std::size_t>(i)];
        if (listed[static_cast<std::size_t>(i)]) {
            buckets.erase(i, box.x0, box.y0, box.x1, box.y1);
        }
        listed[static_cast<std::size_t>(i)] = random() % 5 != 0;
        box = randomBox();
        if (listed[static_cast<std::size_t>(i)]) buckets.insert(i, box.x0, box.y0, box.x1, box.y1);

        const Box q = randomBox();
        std::multiset<int> visited;
        buckets.query(q.x0, q.y0, q.x1, q.y1, [&](int item) { visited.insert(item); });
        for (int k = 0; k < kItems; ++k) {
            const Box& b = boxes[static_cast<std::size_t>(k)];
            const bool meets = b.x0 <= q.x1 && q.x0 <= b.x1 && b.y0 <= q.y1 && q.y0 <= b.y1;
            const std::size_t seen = visited.count(k);
            ASSERT_LE(seen, 1U);
            if (!listed[static_cast<std::size_t>(k)]) {
                ASSERT_EQ(seen, 0U) << "an erased item";
            } else if (meets) {
                ASSERT_EQ(seen, 1U) << "round " << round << ": item " << k << " missed";
            }
        }
    }
}

}  // namespace
}  // namespace blocknest
