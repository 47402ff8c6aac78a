#include "geometry/curve_loop.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "geometry/part.hpp"
#include "geometry/predicates.hpp"

namespace blocknest {
namespace {

constexpr double kPi = std::numbers::pi;

// The true edge from a to b, worked out apart from the code under test: the arc's middle lies
// bulge x chord / 2 to the right of the chord's middle, and the circle passes through a, that
// middle and b.
struct TrueEdge {
    Vertex a, b;
    bool straight = true;
    Vertex centre;
    double radius = 0;
    double from = 0;   // angle of a about the centre
    double sweep = 0;  // signed

    TrueEdge(const Vertex& p, const Vertex& q, double bulge) : a(p), b(q) {
        if (bulge == 0) return;
        straight = false;
        const double dx = q.x - p.x, dy = q.y - p.y;
        const Vertex m{(p.x + q.x) / 2 + dy * bulge / 2, (p.y + q.y) / 2 - dx * bulge / 2};
        // Circumcentre of p, m, q.
        const double d = 2 * (p.x * (m.y - q.y) + m.x * (q.y - p.y) + q.x * (p.y - m.y));
        const double p2 = p.x * p.x + p.y * p.y, m2 = m.x * m.x + m.y * m.y,
                     q2 = q.x * q.x + q.y * q.y;
        centre = Vertex{(p2 * (m.y - q.y) + m2 * (q.y - p.y) + q2 * (p.y - m.y)) / d,
                        (p2 * (q.x - m.x) + m2 * (p.x - q.x) + q2 * (m.x - p.x)) / d};
        radius = std::hypot(p.x - centre.x, p.y - centre.y);
        from = std::atan2(p.y - centre.y, p.x - centre.x);
        sweep = 4 * std::atan(bulge);
    }

    Vertex at(double t) const {
        if (straight) return Vertex{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
        const double angle = from + sweep * t;
        return Vertex{centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle)};
    }

    double distanceTo(const Vertex& p) const {
        if (straight) return distanceToSegment(p, a, b);
        // On the arc's angular range the circle is nearest, else one of the ends.
        double turn = std::atan2(p.y - centre.y, p.x - centre.x) - from;
        if (sweep < 0) turn = -turn;
        turn = std::fmod(std::fmod(turn, 2 * kPi) + 2 * kPi, 2 * kPi);
        if (turn <= std::fabs(sweep))
            return std::fabs(std::hypot(p.x - centre.x, p.y - centre.y) - radius);
        return std::min(std::hypot(p.x - a.x, p.y - a.y), std::hypot(p.x - b.x, p.y - b.y));
    }
};

std::vector<TrueEdge> edgesOf(const CurveLoop& loop) {
    std::vector<TrueEdge> edges;
    for (std::size_t i = 0; i < loop.corners.size(); ++i)
        edges.emplace_back(loop.corners[i], loop.corners[(i + 1) % loop.corners.size()],
                           loop.bulges[i]);
    return edges;
}

double distanceToOutline(const Vertex& p, const std::vector<TrueEdge>& edges) {
    double best = INFINITY;
    for (const TrueEdge& e : edges) best = std::min(best, e.distanceTo(p));
    return best;
}

double distanceToPolygon(const Vertex& p, const std::vector<Vertex>& v) {
    double best = INFINITY;
    for (std::size_t i = 0; i < v.size(); ++i)
        best = std::min(best, distanceToSegment(p, v[i], v[(i + 1) % v.size()]));
    return best;
}

// Corners on a circle at random angles no closer than 0.3 and no farther apart than 1.5
// radians, edges straight or bulging out (up to a third of a turn) or in (a fifth), turned
// either way: outlines that never cross themselves. Every fifth is a full circle.
CurveLoop randomLoop(std::mt19937_64& random, int round) {
    std::uniform_real_distribution<double> unit(0, 1);
    const Vertex centre{unit(random) * 200 - 100, unit(random) * 200 - 100};
    const double radius = 1 + unit(random) * 60;
    CurveLoop loop;
    if (round % 5 == 0) {
        loop.corners = {{centre.x + radius, centre.y}, {centre.x - radius, centre.y}};
        loop.bulges = {1, 1};
    } else {
        std::vector<double> gaps;
        for (;;) {
            gaps.assign(3 + random() % 8, 0);
            double sum = 0;
            for (double& g : gaps) sum += g = 0.2 + unit(random);
            for (double& g : gaps) g *= 2 * kPi / sum;
            if (*std::min_element(gaps.begin(), gaps.end()) >= 0.3 &&
                *std::max_element(gaps.begin(), gaps.end()) <= 1.5)
                break;
        }
        double angle = unit(random) * 2 * kPi;
        for (const double gap : gaps) {
            loop.corners.push_back(
                {centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle)});
            const double pick = unit(random);
            loop.bulges.push_back(pick < 0.3 ? 0 : -0.2 + 0.7 * unit(random));
            angle += gap;
        }
    }
    return random() % 2 == 0 ? loop : reversed(loop);
}

TEST(CurveLoopTest, BoundingPolygonsHoldTheTrueOutlineWithinTheChordError) {
    std::mt19937_64 random(19);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int round = 0; round < 300; ++round) {
        const CurveLoop loop = randomLoop(random, round);
        const std::vector<TrueEdge> edges = edgesOf(loop);
        const double tol = 0.001 + unit(random) * 0.5;
        for (const bool coverInside : {true, false}) {
            const std::vector<Vertex> polygon = boundingPolygon(loop, coverInside, tol, 1 << 16);
            ASSERT_GE(polygon.size(), 3u);
            ASSERT_EQ(polygon.front().x, loop.corners.front().x) << "it starts at the first corner";
            Loop shape;
            shape.setVertices(polygon);
            const std::string where = "round " + std::to_string(round) +
                                      (coverInside ? " (an outer contour)" : " (a hole)");
            // Dense samples of the true outline: inside an outer polygon, outside a hole's.
            for (const TrueEdge& edge : edges) {
                for (int k = 0; k <= 200; ++k) {
                    const Vertex p = edge.at(k / 200.0);
                    if (pointInLoop(p, shape) == coverInside) continue;
                    ASSERT_LE(distanceToPolygon(p, polygon), 1e-9)
                        << where << ": (" << p.x << ", " << p.y << ") lies on the wrong side";
                }
            }
            // The chord error: every corner and edge middle of the polygon near the outline.
            for (std::size_t i = 0; i < polygon.size(); ++i) {
                const Vertex& p = polygon[i];
                const Vertex& q = polygon[(i + 1) % polygon.size()];
                EXPECT_LE(distanceToOutline(p, edges), tol * (1 + 1e-9)) << where;
                EXPECT_LE(distanceToOutline(Vertex{(p.x + q.x) / 2, (p.y + q.y) / 2}, edges),
                          tol * (1 + 1e-9))
                    << where;
            }
        }
    }
}

TEST(CurveLoopTest, AreaCountsTheArcsAndFollowsTheDirection) {
    const CurveLoop circle{{{12, 5}, {8, 5}}, {1, 1}};
    EXPECT_NEAR(signedArea(circle), kPi * 4, 1e-12) << "two counter-clockwise half turns";
    EXPECT_NEAR(signedArea(reversed(circle)), -kPi * 4, 1e-12);
    // A 10 x 10 square whose right side bulges out in a half circle and whose top dents in
    // by one: 100 + pi 25 / 2 - pi 25 / 2.
    const CurveLoop plate{{{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {0, 1, -1, 0}};
    EXPECT_NEAR(signedArea(plate), 100, 1e-12);
    const CurveLoop back = reversed(plate);
    const CurveLoop again = reversed(back);
    EXPECT_NEAR(signedArea(back), -100, 1e-12);
    EXPECT_EQ(again.corners.size(), plate.corners.size());
    for (std::size_t i = 0; i < plate.corners.size(); ++i) {
        EXPECT_EQ(again.corners[i].x, plate.corners[i].x);
        EXPECT_EQ(again.bulges[i], plate.bulges[i]);
    }
}

TEST(CurveLoopTest, PlacedFollowsThePartsMotion) {
    std::mt19937_64 random(7);
    for (int round = 0; round < 40; ++round) {
        const CurveLoop loop = randomLoop(random, round + 1);
        const Orientation turn{static_cast<int>(random() % 6), 6, random() % 2 == 1};
        const double dx = 37.5, dy = -12.25;
        // The part made of the polygon, moved as the packing moves parts.
        Part part;
        Loop outer;
        outer.setVertices(boundingPolygon(loop, true, 0.01, 1 << 16));
        part.setShape("p", {}, outer);
        part.applyTurn(turn);
        part.translate(dx, dy);
        const CurveLoop moved = placed(loop, turn, dx, dy);
        const std::vector<Vertex> polygon = boundingPolygon(moved, true, 0.01, 1 << 16);
        ASSERT_EQ(polygon.size(), static_cast<std::size_t>(part.outerLoop().vertexCount()));
        for (std::size_t i = 0; i < polygon.size(); ++i) {
            EXPECT_NEAR(polygon[i].x, part.outerLoop().vertices()[i].x, 1e-9) << round;
            EXPECT_NEAR(polygon[i].y, part.outerLoop().vertices()[i].y, 1e-9) << round;
        }
        EXPECT_NEAR(signedArea(moved), turn.mirrored ? -signedArea(loop) : signedArea(loop),
                    1e-9 * std::fabs(signedArea(loop)));
    }
}

}  // namespace
}  // namespace blocknest
